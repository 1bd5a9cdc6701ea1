#pragma once

#include <kes_sdk/scan_data.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kes_csv {

// A longer line is malformed and skipped, so a file without line feeds costs the reader no
// more memory than this.
inline constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

// Turns complete lines of a point-cloud file into blocks. The pending block and its lists
// live across calls, so a file can be fed in any number of pieces cut at line ends.
class CsvBlockParser {
public:
    // Parses every LF-terminated line in [begin, end); returns the start of the unfinished rest.
    const char* parseLines(const char* begin, const char* end);
    // The last line of a file that does not end with LF.
    void parseFinalLine(const char* begin, const char* end);

    // Blocks completed since the last call, each sized exactly.
    std::vector<kes_sdk::ScanBlockData> takeCompleted();

    // Caps the ranges and intensities held by all completed blocks together. Lists are not
    // emptied when a block completes, so rows that never start a block again make every
    // further block repeat all earlier points: a file of a few MB could ask for terabytes.
    void setValueBudget(std::uint64_t values) { value_budget_ = values; }
    // A block was dropped because of the budget; later blocks are dropped too.
    bool overBudget() const { return over_budget_; }

private:
    using Fields = std::array<std::string_view, 7>;

    struct Row {
        std::uint32_t time_stamp = 0;
        std::uint32_t block_id = 0;
        std::int64_t layer_size = 0;
        std::int64_t layer_index = 0;
        bool starts_block = false;
        bool has_range = false;
        std::uint16_t range = 0;
        std::uint32_t intensity = 0;
        bool has_intensity = false;
    };

    const char* plainRow(const char* p, const char* end);
    static const char* rangeField(const char* p, const char* end, Row* row);
    const char* generalLine(const char* p, const char* end);
    void parseLine(const char* begin, const char* end);
    void applyFields(const Fields& fields);
    void applyRow(const Row& row);
    void completeBlock();

    std::uint32_t time_stamp_ = 0;
    std::uint8_t block_id_ = 0;
    std::vector<std::uint16_t> ranges_;
    std::vector<std::uint8_t> intensities_;
    std::vector<kes_sdk::ScanBlockData> completed_;
    std::uint64_t value_budget_ = UINT64_MAX;
    std::uint64_t values_ = 0;
    bool over_budget_ = false;
};

} // namespace kes_csv
