#pragma once

#include <kes_sdk/scan_data.h>

#include <QByteArray>

#include <string>
#include <vector>

namespace kes_csv_reference {

// The reading rules stated plainly: line by line, QString::split, Qt's own conversions.
// Bytes are Latin-1 (NUL included); a line ends at LF, and a CR before it is dropped.
std::vector<kes_sdk::ScanBlockData> readBlocks(const QByteArray& bytes);

// Empty when both hold the same blocks bit for bit, else where they first differ.
std::string firstDifference(const std::vector<kes_sdk::ScanBlockData>& expected,
                            const std::vector<kes_sdk::ScanBlockData>& actual);

} // namespace kes_csv_reference
