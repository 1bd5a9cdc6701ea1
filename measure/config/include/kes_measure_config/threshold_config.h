#pragma once

#include <QByteArray>
#include <QString>

// ThresholdValueConfig.txt: "absolute,relative" with no line end, below the application
// directory.
namespace threshold_config {

QString directory(const QString& app_dir);
QString filePath(const QString& app_dir);

// The two field texts as stored: 8-bit text up to the first NUL, split at the first ","
// (a missing part is empty).
struct Texts {
    QString absolute;
    QString relative;
};
Texts parse(const QByteArray& content);
// The file's texts; false when it cannot be read ("file.open" is logged when it exists but
// will not open).
[[nodiscard]] bool read(const QString& app_dir, Texts& texts);

// Both limits as single-precision numbers in "%g" form.
QByteArray format(float absolute, float relative);
// Whether the whole content reached the file.
[[nodiscard]] bool write(const QString& app_dir, float absolute, float relative);

} // namespace threshold_config
