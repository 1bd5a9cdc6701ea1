#include "kes_sdk/tail_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <tuple>
#include <vector>

using kes_sdk::applyTailFilter;

namespace {

constexpr size_t kFullScan = 2268;

std::set<size_t> removed(const std::vector<uint16_t>& before, const std::vector<uint16_t>& after)
{
    std::set<size_t> out;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            out.insert(i);
    return out;
}

struct Params {
    float p, q, t;
    int jump, need;
};

// The constants derived from their definitions: an angle step of 0.01188 degrees per Hz, the
// level's angle and neighbour count; none for a filter that is off.
std::optional<Params> params(uint32_t level, uint32_t hz)
{
    const std::map<uint32_t, int> jump = {{10, 15}, {15, 30}, {20, 25}, {25, 35}, {30, 40}};
    const std::map<uint32_t, std::pair<double, int>> angle = {
        {1, {3, 3}}, {2, {3, 2}}, {3, {5.5, 2}}, {4, {9, 2}}, {5, {9, 1}}};
    if (level == 0 || !jump.count(hz))
        return std::nullopt;
    const double rad = M_PI / 180.0;
    const auto [degrees, need] = angle.count(level) ? angle.at(level) : std::pair<double, int>{0, 0};
    return Params{float(-std::sin(0.01188 * hz * rad)), float(std::cos(0.01188 * hz * rad)),
                  float(std::tan(degrees * rad)), jump.at(hz), need};
}

// The filter as its description reads.
std::vector<uint16_t> reference(const std::vector<uint16_t>& in, uint32_t level, uint32_t hz)
{
    const auto f = params(level, hz);
    if (!f || in.size() < 7)
        return in;
    std::vector<uint16_t> out = in;
    for (size_t i = 3; i + 3 < in.size(); ++i) {
        const int d = in[i];
        const bool candidate = std::abs(d - in[i + 1]) >= f->jump || d <= 500 || std::abs(d - in[i - 1]) >= f->jump;
        if (d == 0 || !candidate)
            continue;
        const auto counts = [&](size_t k) {
            const float denominator = float(in[k]) - f->q * float(d);
            const float t = f->p * float(d) / denominator;
            return denominator != 0.0f && -f->t < t && t < f->t;
        };
        const int b = counts(i - 3) + counts(i - 2) + counts(i - 1);
        const int a = counts(i + 1) + counts(i + 2) + counts(i + 3);
        if (b < f->need && a < f->need)
            continue;
        out[i] = 0;
        if (level <= 5)
            out[i - 1] = out[i + 1] = 0;
    }
    return out;
}

// Pairs (d, r): a point d with a neighbour r that lies as close as ranges allow to the edge of
// counting, where a constant one unit in the last place off changes the outcome.
std::vector<std::pair<int, int>> edgePairs(uint32_t level, uint32_t hz)
{
    const auto f = params(level, hz);
    if (!f || f->t == 0)
        return {};
    std::vector<std::tuple<float, int, int>> all;
    for (int d = 600; d <= 30000; ++d) {
        const long edge = std::lround(f->q * d - f->p * d / f->t);
        for (long r = edge - 1; r <= edge + 1; ++r) {
            const float t = f->p * float(d) / (float(r) - f->q * float(d));
            all.emplace_back(std::abs(std::abs(t) - f->t), d, int(r));
        }
    }
    std::partial_sort(all.begin(), all.begin() + 64, all.end());
    std::vector<std::pair<int, int>> pairs;
    for (size_t i = 0; i < 64; ++i)
        pairs.emplace_back(std::get<1>(all[i]), std::get<2>(all[i]));
    return pairs;
}

// Surfaces at random ranges and slopes with edges, gaps and close points, and between them
// points whose neighbours lie at the edge of counting.
std::vector<uint16_t> randomScan(std::mt19937& rng, const std::vector<std::pair<int, int>>& edges)
{
    std::vector<uint16_t> scan(kFullScan);
    std::uniform_int_distribution<int> length(3, 60), range(200, 8000), slope(-60, 60), noise(-2, 2);
    std::uniform_int_distribution<size_t> pick(0, edges.empty() ? 0 : edges.size() - 1);
    for (size_t i = 0; i + 7 < kFullScan;) {
        if (!edges.empty() && length(rng) < 30) {
            const auto [d, r] = edges[pick(rng)];
            for (int v : {d, d, d, d, r, r, r})
                scan[i++] = uint16_t(v);
            continue;
        }
        const int start = range(rng);
        const int step = slope(rng);
        const bool gap = length(rng) < 6;
        for (int n = length(rng); n > 0 && i < kFullScan; --n, ++i)
            scan[i] = gap ? 0 : uint16_t(std::clamp(start + step * n + noise(rng), 1, 65535));
    }
    return scan;
}

} // namespace

TEST(TailFilter, EveryFrequencyAndLevelAgreesWithTheReferenceOnRandomScans)
{
    std::mt19937 rng(7);
    for (uint32_t hz : {10u, 12u, 15u, 20u, 25u, 30u})
        for (uint32_t level = 0; level <= 6; ++level) {
            size_t changed = 0;
            const auto edges = edgePairs(level, hz);
            for (int round = 0; round < 20; ++round) {
                const auto scan = randomScan(rng, edges);
                auto filtered = scan;
                applyTailFilter(filtered, level, hz);
                ASSERT_EQ(filtered, reference(scan, level, hz))
                    << hz << " Hz, level " << level << ", round " << round;
                changed += removed(scan, filtered).size();
            }
            // The random scans do exercise the filter wherever it is on.
            EXPECT_EQ(changed > 0, level > 0 && hz != 12) << hz << " Hz, level " << level;
        }
    auto tiny = std::vector<uint16_t>{1000, 1000, 1000, 5000, 1000, 1000};
    applyTailFilter(tiny, 1, 10);
    EXPECT_EQ(tiny[3], 5000);
}

// Every neighbour of the spike lies far off its beam (a grazing line): all six count.
TEST(TailFilter, LoneFarPointBetweenNearWallsGoesWithItsNeighbours)
{
    std::vector<uint16_t> scan(kFullScan, 1000);
    scan[100] = 5000;
    scan[500] = scan[501] = 0;
    const auto before = scan;
    applyTailFilter(scan, 1, 10);
    EXPECT_EQ(removed(before, scan), (std::set<size_t>{99, 100, 101}));
}
