#include "kes_csv/csv_writer.h"

#include "csv_number_text.h"
#include "kes_csv/csv_format.h"

#include <QIODevice>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace kes_csv {
namespace {

constexpr std::size_t kMaxIntegerBytes = 20;
constexpr std::size_t kMaxPrefixBytes = 3 * (kMaxIntegerBytes + 1);

char* writeInteger(char* out, std::uint64_t value)
{
    return std::to_chars(out, out + kMaxIntegerBytes, value).ptr;
}

// time_stamp,block_id,layer_size,
std::size_t writePrefix(char* out, const kes_sdk::ScanBlockData& block, std::size_t layer_size)
{
    char* p = writeInteger(out, block.time_stamp);
    *p++ = ',';
    p = writeInteger(p, block.block_id);
    *p++ = ',';
    p = writeInteger(p, layer_size);
    *p++ = ',';
    return std::size_t(p - out);
}

} // namespace

CsvWriter::CsvWriter(QIODevice& device, std::size_t buffer_bytes)
    // 4 KiB always holds a row: the longest frequency text has 12 characters
    : device_(device), capacity_(std::max<std::size_t>(buffer_bytes, 4096)), buffer_(new char[capacity_])
{
}

CsvWriter::~CsvWriter()
{
    flush();
}

void CsvWriter::writeHeader()
{
    constexpr std::size_t size = sizeof(kHeaderLine) - 1;
    reserve(size + 1);
    std::memcpy(buffer_.get() + used_, kHeaderLine, size);
    buffer_[used_ + size] = '\n';
    used_ += size + 1;
}

void CsvWriter::writeBlock(const kes_sdk::ScanBlockData& block, float motor_frequency)
{
    if (block.layers.empty() || block.layers[0].ranges.empty())
        return;
    const auto& ranges = block.layers[0].ranges;
    const auto& intensities = block.layers[0].intensities;
    setMotorFrequency(motor_frequency);
    char prefix[kMaxPrefixBytes];
    const std::size_t prefix_size = writePrefix(prefix, block, ranges.size());
    // to_chars is handed kMaxIntegerBytes of room for the intensity too
    const std::size_t row_max =
        prefix_size + kMaxIntegerBytes + 1 + kMaxRangeTextBytes + 1 + kMaxIntegerBytes + frequency_suffix_.size();
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        reserve(row_max);
        char* p = buffer_.get() + used_;
        std::memcpy(p, prefix, prefix_size);
        p = writeInteger(p + prefix_size, i);
        *p++ = ',';
        p = writeRangeText(p, ranges[i]);
        *p++ = ',';
        p = writeInteger(p, i < intensities.size() ? intensities[i] : 0);
        std::memcpy(p, frequency_suffix_.data(), frequency_suffix_.size());
        used_ = std::size_t(p - buffer_.get()) + frequency_suffix_.size();
    }
    rows_ += ranges.size();
}

// A short write is followed by one for the rest, which either completes it or fails and
// leaves the reason (a full disk, say) in the device's error.
bool CsvWriter::flush()
{
    std::size_t done = 0;
    while (done < used_ && !failed_) {
        const qint64 n = device_.write(buffer_.get() + done, qint64(used_ - done));
        failed_ = n <= 0;
        done += failed_ ? 0 : std::size_t(n);
    }
    used_ = 0;
    return !failed_;
}

void CsvWriter::reserve(std::size_t bytes)
{
    if (capacity_ - used_ < bytes)
        flush();
}

// The frequency text is computed by Qt itself, once per value.
void CsvWriter::setMotorFrequency(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (has_frequency_ && bits == frequency_bits_)
        return;
    has_frequency_ = true;
    frequency_bits_ = bits;
    frequency_suffix_ = "," + motorFrequencyText(value) + "\n";
}

} // namespace kes_csv
