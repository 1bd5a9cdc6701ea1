#pragma once

#include <QString>
#include <QTextStream>

namespace cli {

// Keeps standard output for results only: the library's own lines and Qt's debug stream
// are silenced from here on.
void reserveOutput();
QTextStream& out();
// One line on standard error.
void printError(const QString& message);

} // namespace cli
