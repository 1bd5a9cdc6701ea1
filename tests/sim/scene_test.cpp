#include "kes_sim/scene.h"

#include "kes_sdk/tail_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kes_sim {
namespace {

constexpr size_t kN = 378; // points per block at 10 Hz

size_t indexAt(double deg)
{
    return size_t(std::lround(deg * (6 * kN - 1) / 270.0));
}

double metres(const ScanPoint& p)
{
    return p.range * 0.002;
}

// A time at which the post stands in view, well clear of the walls looked at below.
double timeWithPostAt(const Scene& scene, double fromDeg, double toDeg)
{
    for (double t = 0; t < 30; t += 0.25) {
        const double a = scene.postAngleDeg(t);
        if (a > fromDeg && a < toDeg)
            return t;
    }
    ADD_FAILURE() << "post never in view";
    return 0;
}

TEST(Scene, WallsReflectorAndMirroredSweep)
{
    Scene scene(7);
    const double t = timeWithPostAt(scene, 160, 200);
    std::vector<ScanPoint> sweep, mirrored;
    scene.sweep(t, kN, false, sweep);
    EXPECT_NEAR(metres(sweep[indexAt(45)]), room::kRight, 0.01);
    EXPECT_NEAR(metres(sweep[indexAt(135)]), room::kFront, 0.01);
    EXPECT_NEAR(metres(sweep[indexAt(225)]), room::kLeft, 0.01);
    EXPECT_GE(sweep[indexAt(135)].intensity, kReflectorIntensity);
    EXPECT_LT(sweep[indexAt(45)].intensity, kReflectorIntensity);

    scene.sweep(t, kN, true, mirrored);
    std::reverse(mirrored.begin(), mirrored.end());
    EXPECT_TRUE(std::equal(sweep.begin(), sweep.end(), mirrored.begin(),
                           [](const ScanPoint& a, const ScanPoint& b) { return a.range == b.range; }));
}

TEST(Scene, PostEdgesCarryTailsTheHostFilterRemoves)
{
    Scene scene(3);
    std::vector<ScanPoint> sweep;
    scene.sweep(timeWithPostAt(scene, 60, 110), kN, false, sweep);
    const auto nearPost = [](const ScanPoint& p) {
        return p.range > 0 && metres(p) < room::kPostOrbit + room::kPostRadius;
    };
    const auto post = std::find_if(sweep.begin(), sweep.end(), nearPost);
    ASSERT_NE(post, sweep.end());
    const auto postEnd = std::find_if_not(post, sweep.end(), nearPost);
    EXPECT_GT(postEnd - post, 5);

    // Just outside both edges, before the wall (at most two points on): between post and wall.
    const auto isTail = [&](const ScanPoint& p, const ScanPoint& wall) {
        return metres(p) > metres(*post) + 0.2 && metres(p) < metres(wall) - 0.2;
    };
    EXPECT_TRUE(isTail(post[-1], post[-3]));
    EXPECT_TRUE(isTail(*postEnd, postEnd[2]));

    std::vector<uint16_t> ranges(sweep.size());
    std::transform(sweep.begin(), sweep.end(), ranges.begin(), [](const ScanPoint& p) { return p.range; });
    kes_sdk::applyTailFilter(ranges, 1, 10);
    EXPECT_EQ(ranges[size_t(post - sweep.begin()) - 1], 0);
    EXPECT_EQ(ranges[size_t(postEnd - sweep.begin())], 0);

    const auto missing = std::count_if(sweep.begin(), sweep.end(), [](const ScanPoint& p) { return p.range == 0; });
    EXPECT_GT(missing, 0);
    EXPECT_LT(missing, long(sweep.size() / 20));
}

} // namespace
} // namespace kes_sim
