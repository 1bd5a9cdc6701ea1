#pragma once

#include "kes_sdk/scan_data.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kes_service {

// One point of the revolution over many revolutions. Range figures cover the valid returns
// only; they are NaN where there was none.
struct AngleRow {
    float angle_deg = 0;
    uint64_t samples = 0;
    double valid_share = 0;
    double mean_m = 0;
    double std_mm = 0;
    double min_m = 0;
    double max_m = 0;
    double mean_intensity = 0;
};

// Per-point statistics of scan blocks, kept apart for each block size: a recording that
// changed the scan frequency has revolutions of several sizes, and rows() reports the size
// that has the most revolutions.
class AngleStatistics {
public:
    // Blocks 1 to 6; others are not points of a revolution and are skipped.
    void add(const kes_sdk::ScanBlockData& block);

    // Revolutions of the size reported, counted by their block 6.
    uint64_t revolutions() const;
    // Points per block of the size reported, 0 before any block.
    size_t pointsPerBlock() const;
    // Blocks of other sizes than the one reported.
    uint64_t otherBlocks() const;
    std::vector<AngleRow> rows() const;

    // The table as CSV with a header line.
    static std::string csv(const std::vector<AngleRow>& rows);

private:
    struct Point {
        uint64_t samples = 0;
        uint64_t valid = 0;
        uint64_t sum = 0;    // counts
        uint64_t sum_sq = 0; // counts squared: exact up to 4e9 revolutions
        uint64_t intensity = 0;
        uint16_t min = UINT16_MAX;
        uint16_t max = 0;
    };
    struct Table {
        uint64_t revolutions = 0;
        uint64_t blocks = 0;
        std::vector<Point> points; // 6n
    };

    const Table* reported() const;

    std::map<size_t, Table> tables_; // by points per block
    uint64_t blocks_ = 0;
};

} // namespace kes_service
