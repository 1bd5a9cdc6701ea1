#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

namespace kes_csv {

// `text` fit to be part of one file name: path separators (and NUL) become '_', so that
// neither they nor ".." lead out of the directory the name is made for. Device and operator
// texts (firmware version, serial number) go into file names.
QString fileNamePart(const QString& text);

// "<app_dir>/Data", where recordings go.
QString recordingDirectory(const QString& app_dir);

// "<firmware_version>_yyyy_MM_dd_hh_mm_ss.csv" for a recording started at `start` (local time).
QString recordingFileName(const QString& firmware_version, const QDateTime& start);
QString recordingFilePath(const QString& app_dir, const QString& firmware_version, const QDateTime& start);

// Beside the loaded file: "<dir>/<completeBaseName>_block_position_<frame_number>.csv",
// frame_number counting from 1.
QString interceptFilePath(const QString& loaded_file, std::uint32_t frame_number);

} // namespace kes_csv
