#pragma once

#include <kes_sdk/scan_data.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QIODevice;

namespace kes_csv {

// Formats blocks as point-cloud rows into its own buffer and hands the device large chunks.
// The device must be open for writing; the writer neither opens nor closes it.
class CsvWriter {
public:
    explicit CsvWriter(QIODevice& device, std::size_t buffer_bytes = std::size_t(1) << 20);
    ~CsvWriter(); // flushes
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void writeHeader();
    // One row per range of the first layer; a missing intensity is written as 0.
    void writeBlock(const kes_sdk::ScanBlockData& block, float motor_frequency);
    // False once the device has refused bytes.
    bool flush();
    bool ok() const { return !failed_; }

    std::uint64_t rowsWritten() const { return rows_; }

private:
    void reserve(std::size_t bytes);
    void setMotorFrequency(float value);

    QIODevice& device_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
    std::uint64_t rows_ = 0;
    bool failed_ = false;
    bool has_frequency_ = false;
    std::uint32_t frequency_bits_ = 0;
    std::string frequency_suffix_; // ",<intensity>" is followed by ",<frequency>\n"
};

} // namespace kes_csv
