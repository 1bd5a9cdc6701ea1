#pragma once

#include <kes_sdk/scan_data.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

using Revolution = std::vector<kes_sdk::ScanBlockData>;

// Blocks as the device sends them: one layer of n ranges and intensities.
inline kes_sdk::ScanBlockData makeBlock(uint8_t id, size_t n, uint16_t range = 0, uint8_t intensity = 0)
{
    kes_sdk::ScanBlockData block;
    block.block_id = id;
    block.layers.push_back({std::vector<uint16_t>(n, range), std::vector<uint8_t>(n, intensity)});
    return block;
}

// Device angle of point j of block b in a revolution of n points per block, as documented.
inline double deviceAngle(size_t n, int b, size_t j)
{
    return double(n * size_t(b) + j) * 270.0 / double(6 * n - 1);
}

// Blocks 1..6 of n points whose raw range and intensity come from the global index n * b + j.
inline Revolution revolution(size_t n, const std::function<uint16_t(size_t)>& range,
                             const std::function<uint8_t(size_t)>& intensity)
{
    Revolution blocks;
    for (uint8_t b = 1; b <= 6; ++b) {
        blocks.push_back(makeBlock(b, n));
        for (size_t j = 0; j < n; ++j) {
            blocks.back().layers[0].ranges[j] = range(n * b + j);
            blocks.back().layers[0].intensities[j] = intensity(n * b + j);
        }
    }
    return blocks;
}

// A revolution of six empty blocks of n points with one point set at (block, index).
inline Revolution revolutionWithPoint(size_t n, uint8_t id, size_t j, uint16_t range, uint8_t intensity)
{
    return revolution(
        n, [=](size_t k) { return k == n * id + j ? range : uint16_t(0); },
        [=](size_t k) { return k == n * id + j ? intensity : uint8_t(0); });
}

// The measurement scenes: 126 points a block, the field of view starting at block 1.
constexpr size_t kN = 126;
constexpr size_t kFirstIndex = kN;
constexpr size_t kPoints = 6 * kN;

inline double pointAngle(size_t index)
{
    return double(index) * 270.0 / double(6 * kN - 1);
}

// Raw range that puts the point at `index` on a wall `mm` millimetres away, squarely facing
// the sensor along the nearest main direction (worked out here, not by the code under test).
inline uint16_t wallRange(size_t index, double mm)
{
    const double a = pointAngle(index) * M_PI / 180.0;
    const double f = std::max(std::fabs(std::cos(a)), std::fabs(std::sin(a)));
    return uint16_t(std::lround(mm / 1000.0 / f / 0.002));
}

// A square room `mm` from the sensor, intensity 200; the point at `odd` (if any) `odd_mm` away.
inline Revolution room(double mm, size_t odd = 0, double odd_mm = 0)
{
    return revolution(
        kN, [=](size_t k) { return wallRange(k, odd && k == odd ? odd_mm : mm); },
        [](size_t) { return uint8_t(200); });
}
