#pragma once

#include <QByteArray>
#include <QString>
#include <QTextStream>

class QFileDevice;

namespace cli {

// Keeps standard output for results only: the library's own lines and Qt's debug stream
// are silenced from here on.
void reserveOutput();
QTextStream& out();
// One line on standard error.
void printError(const QString& message);

// Why writing `file` failed, in words (a full disk says so).
QString writeFailure(const QFileDevice& file);
// Writes `bytes` as the whole of `path`, which is replaced only when all of them got there;
// the reason when not.
QString writeWholeFile(const QString& path, const QByteArray& bytes);

} // namespace cli
