#pragma once

#include <kes_sdk/scan_data.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

// Revolutions of n points per block whose geometry the tests control.
constexpr size_t kN = 126;

inline double pointAngle(size_t index)
{
    return double(index) * 270.0 / double(6 * kN - 1);
}

// Six blocks 1..6 whose raw range and intensity come from the global point index.
inline std::vector<kes_sdk::ScanBlockData> revolution(const std::function<uint16_t(size_t)>& range,
                                                      const std::function<uint8_t(size_t)>& intensity)
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    for (uint8_t b = 1; b <= 6; ++b) {
        kes_sdk::ScanBlockData block;
        block.block_id = b;
        kes_sdk::ScanLayer layer;
        for (size_t j = 0; j < kN; ++j) {
            layer.ranges.push_back(range(kN * b + j));
            layer.intensities.push_back(intensity(kN * b + j));
        }
        block.layers.push_back(layer);
        blocks.push_back(block);
    }
    return blocks;
}

// Raw range that puts the point at `index` on a wall `mm` millimetres away, squarely facing
// the sensor along the nearest main direction (worked out here, not by the code under test).
inline uint16_t wallRange(size_t index, double mm)
{
    const double a = pointAngle(index) * M_PI / 180.0;
    const double f = std::max(std::fabs(std::cos(a)), std::fabs(std::sin(a)));
    return uint16_t(std::lround(mm / 1000.0 / f / 0.002));
}

// The index of the first point of block 1, the sensor's field of view starts there.
constexpr size_t kFirstIndex = kN;
constexpr size_t kPoints = 6 * kN;
