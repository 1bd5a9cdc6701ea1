#pragma once

#include <kes_sdk/scan_data.h>

#include <cstdint>
#include <functional>
#include <vector>

// Blocks as the device sends them: one layer of n ranges and intensities.
inline kes_sdk::ScanBlockData makeBlock(uint8_t id, size_t n, uint16_t range = 0, uint8_t intensity = 0)
{
    kes_sdk::ScanBlockData block;
    block.block_id = id;
    block.layers.push_back({std::vector<uint16_t>(n, range), std::vector<uint8_t>(n, intensity)});
    return block;
}

// A revolution of six empty blocks of n points with one point set at (block, index).
inline std::vector<kes_sdk::ScanBlockData> revolutionWithPoint(size_t n, uint8_t id, size_t j, uint16_t range,
                                                               uint8_t intensity)
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    for (uint8_t b = 1; b <= 6; ++b)
        blocks.push_back(makeBlock(b, n));
    blocks[id - 1].layers[0].ranges[j] = range;
    blocks[id - 1].layers[0].intensities[j] = intensity;
    return blocks;
}

// Device angle of point j of block b in a revolution of n points per block, as documented.
inline double deviceAngle(size_t n, int b, size_t j)
{
    return double(n * size_t(b) + j) * 270.0 / double(6 * n - 1);
}
