#pragma once

#include <cstdint>
#include <vector>

namespace kes_sdk {

// Ranges in 2 mm counts (0 = no return), intensities 0..255; always of equal length.
struct ScanLayer {
    std::vector<uint16_t> ranges;
    std::vector<uint8_t> intensities;
};

// One sixth of a revolution.
struct ScanBlockData {
    uint8_t block_id = 0;
    uint32_t time_stamp = 0;
    uint8_t reserved8 = 0;
    uint16_t reserved16 = 0;
    std::vector<ScanLayer> layers;
};

// One decoded scan datagram.
using ScanPacketData = ScanBlockData;

// One assembled revolution: a single layer of 6n points, sub-block k at (k-1)n .. kn-1.
struct FullScanBlock {
    uint32_t time_stamp = 0;
    std::vector<ScanLayer> layers;
};

constexpr int kBlocksPerScan = 6;

} // namespace kes_sdk
