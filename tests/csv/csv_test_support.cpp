#include "csv_test_support.h"

#include <kes_csv/csv_writer.h>

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>

namespace csv_test {

kes_sdk::ScanBlockData block(uint8_t id, uint32_t time_stamp, std::vector<uint16_t> ranges,
                             std::vector<uint8_t> intensities)
{
    kes_sdk::ScanBlockData b;
    b.block_id = id;
    b.time_stamp = time_stamp;
    b.layers = {kes_sdk::ScanLayer{std::move(ranges), std::move(intensities)}};
    return b;
}

std::vector<kes_sdk::ScanBlockData> scans(size_t n, uint8_t first_id, size_t points)
{
    std::vector<kes_sdk::ScanBlockData> out;
    for (size_t i = 0; i < n; ++i) {
        std::vector<uint16_t> ranges(points);
        std::vector<uint8_t> intensities(points);
        for (size_t j = 0; j < points; ++j) {
            ranges[j] = uint16_t(i * 977 + j * 31);
            intensities[j] = uint8_t(i + j);
        }
        out.push_back(block(uint8_t((first_id - 1 + i) % 6 + 1), uint32_t(1000 + i), ranges, intensities));
    }
    return out;
}

QByteArray recording(const std::vector<kes_sdk::ScanBlockData>& blocks, float motor_frequency)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        kes_csv::CsvWriter writer(buffer);
        writer.writeHeader();
        for (const auto& b : blocks)
            writer.writeBlock(b, motor_frequency);
    }
    return bytes;
}

QString Files::write(const QByteArray& bytes, const QString& name)
{
    QFile file(path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_EQ(file.write(bytes), bytes.size());
    return file.fileName();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::vector<kes_sdk::ScanBlockData> load(const QString& path, size_t chunk_bytes)
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    const auto append = [&](std::vector<kes_sdk::ScanBlockData>&& batch, const kes_csv::ReadProgress&) {
        for (auto& b : batch)
            blocks.push_back(std::move(b));
    };
    EXPECT_EQ(kes_csv::readBlocks(path, append, nullptr, chunk_bytes), kes_csv::ReadStatus::Ok);
    return blocks;
}

} // namespace csv_test
