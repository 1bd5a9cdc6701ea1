#include "kes_sdk/tail_filter.h"

#include <gtest/gtest.h>

#include <set>

using kes_sdk::applyTailFilter;

namespace {

constexpr size_t kFullScan = 2268;

std::vector<uint16_t> wall(uint16_t range, size_t n = kFullScan) { return std::vector<uint16_t>(n, range); }

std::set<size_t> removed(const std::vector<uint16_t>& before, const std::vector<uint16_t>& after)
{
    std::set<size_t> out;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            out.insert(i);
    return out;
}

} // namespace

TEST(TailFilter, LoneFarPointBetweenNearWallsGoesWithItsNeighbours)
{
    // Every neighbour of the spike lies far off its beam (a grazing line): all six count.
    auto scan = wall(1000);
    scan[100] = 5000;
    scan[500] = 0;
    scan[501] = 0;
    const auto before = scan;
    applyTailFilter(scan, 1, 10);
    EXPECT_EQ(removed(before, scan), (std::set<size_t>{99, 100, 101}));
    EXPECT_EQ(scan[500], 0);
}

TEST(TailFilter, StepEdgeIsJudgedOnTheSnapshot)
{
    // 99 sees three far points ahead, 100 three near ones behind: both go, each with its
    // neighbours. 100 is still judged although 99's removal already zeroed it.
    std::vector<uint16_t> scan(kFullScan, 1000);
    for (size_t i = 100; i < kFullScan; ++i)
        scan[i] = 3000;
    const auto before = scan;
    applyTailFilter(scan, 1, 10);
    EXPECT_EQ(removed(before, scan), (std::set<size_t>{98, 99, 100, 101}));
}

TEST(TailFilter, SmoothSurfacesStay)
{
    std::vector<uint16_t> slope(kFullScan);
    for (size_t i = 0; i < kFullScan; ++i)
        slope[i] = uint16_t(1000 + 10 * (i % 400));
    for (uint32_t level = 1; level <= 5; ++level) {
        auto scan = slope;
        applyTailFilter(scan, level, 10);
        // Only the saw's drops back to 1000 every 400 points are edges.
        for (size_t i = 0; i < kFullScan; ++i)
            if (i % 400 > 2 && i % 400 < 397) {
                ASSERT_EQ(scan[i], slope[i]) << "level " << level << " point " << i;
            }
    }
    // Close points are candidates, but neighbours on the same surface never count.
    auto close = wall(400);
    applyTailFilter(close, 5, 30);
    EXPECT_EQ(close, wall(400));
}

TEST(TailFilter, LevelsDifferInHowManyNeighboursMustCount)
{
    // Two far points with one near point between: 199 and 203 see two far neighbours on one
    // side, enough at level 2 but not at level 1; 200 and 202 see three near ones.
    auto scan = wall(1000);
    scan[200] = 5000;
    scan[202] = 5000;
    const auto before = scan;
    auto level1 = scan;
    applyTailFilter(level1, 1, 10);
    EXPECT_EQ(removed(before, level1), (std::set<size_t>{199, 200, 201, 202, 203}));
    auto level2 = scan;
    applyTailFilter(level2, 2, 10);
    EXPECT_EQ(removed(before, level2), (std::set<size_t>{198, 199, 200, 201, 202, 203, 204}));
}

TEST(TailFilter, OffSettingsLeaveTheScanAlone)
{
    auto spiky = wall(1000);
    spiky[100] = 5000;
    for (auto [level, hz] : {std::pair<uint32_t, uint32_t>{0, 10}, {1, 12}, {3, 0}}) {
        auto scan = spiky;
        applyTailFilter(scan, level, hz);
        EXPECT_EQ(scan, spiky) << level << " " << hz;
    }
    auto tiny = std::vector<uint16_t>{1000, 1000, 1000, 5000, 1000, 1000};
    applyTailFilter(tiny, 1, 10);
    EXPECT_EQ(tiny[3], 5000);
}

TEST(TailFilter, LevelsAboveFiveRemoveEveryCandidateAlone)
{
    auto scan = wall(400, 20);
    applyTailFilter(scan, 7, 20);
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(scan[i], (i >= 3 && i <= 16) ? 0 : 400) << i;
}
