#pragma once

#include <kes_csv/csv_reader.h>
#include <kes_sdk/scan_data.h>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace csv_test {

kes_sdk::ScanBlockData block(uint8_t id, uint32_t time_stamp, std::vector<uint16_t> ranges,
                             std::vector<uint8_t> intensities);
// n blocks of `points` points, ids counting on from first_id through 1..6.
std::vector<kes_sdk::ScanBlockData> scans(size_t n, uint8_t first_id, size_t points);

// Header and rows as CsvWriter writes them.
QByteArray recording(const std::vector<kes_sdk::ScanBlockData>& blocks, float motor_frequency = 20.0f);

class Files {
public:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("points.csv"));
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

QByteArray readFile(const QString& path);

// Through readBlocks, batches appended in order; fails the test on a bad status.
std::vector<kes_sdk::ScanBlockData> load(const QString& path, size_t chunk_bytes = kes_csv::kDefaultChunkBytes);

} // namespace csv_test
