#pragma once

#include "kes_csv/csv_writer.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QFile;

namespace kes_csv {

// What `fill` writes through a writer, as bytes.
QByteArray csvText(const std::function<void(CsvWriter&)>& fill);

// Appends `text` (whole lines) to a file open for reading and writing, all or nothing: a
// short write is cut back, and a file that ends inside a row (a cut that failed, another
// tool) gets a line feed first, so a half-written row never merges with the next one.
// False, with the reason in `error`, when not every byte reached the file.
bool appendLines(QFile& file, const QByteArray& text, QString* error = nullptr);

} // namespace kes_csv
