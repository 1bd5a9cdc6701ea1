#include "kes_csv/csv_parser.h"

#include "kes_csv/csv_fields.h"

#include <algorithm>
#include <cstring>

namespace kes_csv {
namespace {

constexpr std::size_t kPlainDigits = 9; // no overflow, and toUInt/toInt agree with the value

// 1..9 digits and then `stop`; returns the position after `stop`, or null.
const char* digitsThen(const char* p, const char* end, char stop, std::uint32_t* value,
                       std::size_t* length = nullptr)
{
    const char* start = p;
    std::uint32_t v = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p)
        v = v * 10 + std::uint32_t(*p - '0');
    const std::size_t n = std::size_t(p - start);
    if (p == end || *p != stop || n == 0 || n > kPlainDigits)
        return nullptr;
    *value = v;
    if (length)
        *length = n;
    return p + 1;
}

// Any text up to `stop` that holds neither ',' nor LF; returns the position of `stop`, or null.
const char* textUntil(const char* p, const char* end, char stop)
{
    for (; p != end; ++p)
        if (*p == ',' || *p == '\n')
            return *p == stop ? p : nullptr;
    return nullptr;
}

// Exactly seven comma-separated fields, empty ones kept.
template <typename Fields>
bool splitFields(const char* p, const char* end, Fields& fields)
{
    std::size_t n = 0;
    const char* start = p;
    for (; p != end; ++p) {
        if (*p != ',')
            continue;
        if (n == fields.size() - 1)
            return false;
        fields[n++] = std::string_view(start, std::size_t(p - start));
        start = p + 1;
    }
    if (n != fields.size() - 1)
        return false;
    fields[n] = std::string_view(start, std::size_t(end - start));
    return true;
}

std::uint32_t toUShortValue(std::uint32_t v)
{
    return v <= 0xFFFF ? v : 0;
}

} // namespace

const char* CsvBlockParser::parseLines(const char* begin, const char* end)
{
    while (begin != end) {
        const char* next = plainRow(begin, end);
        if (!next)
            next = generalLine(begin, end);
        if (!next)
            break;
        begin = next;
    }
    return begin;
}

void CsvBlockParser::parseFinalLine(const char* begin, const char* end)
{
    if (begin != end)
        parseLine(begin, end);
}

std::vector<kes_sdk::ScanBlockData> CsvBlockParser::takeCompleted()
{
    std::vector<kes_sdk::ScanBlockData> out;
    out.swap(completed_);
    return out;
}

// The rows a writer makes, read in one pass: plain digits in the integer fields. Anything
// else returns null and goes the general way, which gives the same result for these rows.
const char* CsvBlockParser::plainRow(const char* p, const char* end)
{
    const char* const start = p;
    Row row;
    std::uint32_t size = 0, index = 0;
    std::size_t index_length = 0;
    if (!(p = digitsThen(p, end, ',', &row.time_stamp)) || !(p = digitsThen(p, end, ',', &row.block_id))
        || !(p = digitsThen(p, end, ',', &size)) || !(p = digitsThen(p, end, ',', &index, &index_length)))
        return nullptr;
    const char* range_end = rangeField(p, end, &row);
    if (!range_end)
        return nullptr;
    if (!(p = digitsThen(range_end + 1, end, ',', &row.intensity)) || !(p = textUntil(p, end, '\n'))
        || std::size_t(p - start) > kMaxLineBytes)
        return nullptr;
    row.block_id = toUShortValue(row.block_id);
    row.intensity = toUShortValue(row.intensity);
    row.has_intensity = true;
    row.layer_size = size;
    row.layer_index = index;
    row.starts_block = index_length == 1 && index == 0;
    applyRow(row);
    return p + 1;
}

// The range text up to its ',', converted on the way where it has the writer's short form.
const char* CsvBlockParser::rangeField(const char* p, const char* end, Row* row)
{
    const char* stop = scanThousandths(p, end, &row->range);
    if (stop && stop != end && *stop == ',') {
        row->has_range = true;
        return stop;
    }
    stop = textUntil(p, end, ',');
    if (!stop)
        return nullptr;
    row->has_range = stop != p;
    row->range = row->has_range ? rangeFromText(std::string_view(p, std::size_t(stop - p))) : 0;
    return stop;
}

const char* CsvBlockParser::generalLine(const char* p, const char* end)
{
    const auto* line_end = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
    if (!line_end)
        return nullptr;
    parseLine(p, line_end);
    return line_end + 1;
}

void CsvBlockParser::parseLine(const char* begin, const char* end)
{
    if (std::size_t(end - begin) > kMaxLineBytes)
        return;
    if (end != begin && end[-1] == '\r')
        --end;
    Fields fields;
    if (splitFields(begin, end, fields))
        applyFields(fields);
}

// Fields: time_stamp, block_id, layer_size, layer_index, range(m), intensity, motor_frequency
// (the last is never stored, so it is not parsed either).
void CsvBlockParser::applyFields(const Fields& f)
{
    Row row;
    row.starts_block = f[3] == "0";
    if (row.starts_block) {
        row.time_stamp = toUInt(f[0]);
        row.block_id = toUShort(f[1]);
    }
    row.has_range = !f[4].empty();
    row.range = row.has_range ? rangeFromText(f[4]) : 0;
    row.has_intensity = !f[5].empty();
    row.intensity = row.has_intensity ? toUShort(f[5]) : 0;
    row.layer_size = toInt(f[2]);
    row.layer_index = toInt(f[3]);
    applyRow(row);
}

void CsvBlockParser::applyRow(const Row& row)
{
    if (row.starts_block) {
        time_stamp_ = row.time_stamp;
        block_id_ = static_cast<std::uint8_t>(row.block_id);
        ranges_.clear();
        intensities_.clear();
    }
    if (row.has_range)
        ranges_.push_back(row.range);
    if (row.has_intensity)
        intensities_.push_back(static_cast<std::uint8_t>(row.intensity));
    if (row.layer_size == row.layer_index + 1)
        completeBlock();
}

void CsvBlockParser::completeBlock()
{
    const std::uint64_t values = ranges_.size() + intensities_.size();
    over_budget_ = over_budget_ || values > value_budget_ - std::min(values_, value_budget_);
    if (over_budget_)
        return;
    values_ += values;
    kes_sdk::ScanBlockData block;
    block.block_id = block_id_;
    block.time_stamp = time_stamp_;
    block.layers.emplace_back();
    block.layers[0].ranges.assign(ranges_.begin(), ranges_.end());
    block.layers[0].intensities.assign(intensities_.begin(), intensities_.end());
    completed_.push_back(std::move(block));
}

} // namespace kes_csv
