#include "loopback_host.h"

#include "kes_sim/scene.h"

#include <kes_sdk/tail_filter.h>

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>

using namespace kes_sim_test;
using namespace kes_sim;

static uint32_t stampOf(const Bytes& d)
{
    return kes_sdk::readU32(d.data() + 14);
}

// Malformed requests are dropped. Bad values, refused codes and unknown writes fail with status
// 1 and change nothing; an unknown class gives 2; an unknown read still answers in full; all of
// them late when asked. Reordered, each revolution still sends its six blocks, not all in order.
TEST(SimulatorCommands, DropsMalformedFailsBadValuesRefusedAndUnknownCodesAnswersLateAndReorders)
{
    auto sim = startSimulator([&](SimOptions& o) {
        o.refused = {cmd::kSetFilterLevel, cmd::kGetScanDirection};
        o.delay_ms = 60;
        o.reorder = true;
    });
    LoopbackHost host(sim->port());
    Bytes badCrc = kes_sdk::buildRequest(cmd::kGetScanFrequency);
    badCrc.back() ^= 1;
    Bytes badLength = kes_sdk::buildRequest(cmd::kGetScanFrequency);
    badLength[1] = 16;
    for (const Bytes& d : {badCrc, badLength, Bytes{0, 5, 0, 2, 5}})
        host.send(d);
    EXPECT_TRUE(host.receive(0, Clock::now() + Ms(150)).empty());
    EXPECT_EQ(sim->snapshot().malformed_requests, 3u);

    const std::pair<uint16_t, uint32_t> failing[] = {{cmd::kSetScanFrequency, 12},
                                                     {cmd::kSetScanDirection, 2},
                                                     {cmd::kTrackConnect, 1},
                                                     {cmd::kSetFilterLevel, 2}};
    for (const auto& [code, value] : failing)
        EXPECT_EQ(statusOf(host.request(code, payloadU32(value))), 1u) << code;
    const auto sent = Clock::now();
    const Bytes refusedRead = host.request(cmd::kGetScanDirection);
    EXPECT_GE(Clock::now() - sent, Ms(60));
    EXPECT_EQ(refusedRead.size(), 20u);
    EXPECT_EQ(statusOf(refusedRead), 1u);
    EXPECT_EQ(statusOf(host.request(0x0301)), 2u);
    EXPECT_EQ(host.request(0x02FF).size(), 20u);
    const DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(std::make_tuple(state.scan_frequency_hz, state.scan_direction, state.filter_level),
              std::make_tuple(10u, 0u, 1u));

    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    std::map<uint32_t, std::vector<uint8_t>> blocks; // by time stamp, as they arrive
    for (Bytes d; blocks.size() < 8 && !(d = host.nextScan()).empty();)
        blocks[stampOf(d)].push_back(d[11]);
    ASSERT_EQ(blocks.size(), 8u);
    bool outOfOrder = false;
    for (auto it = std::next(blocks.begin()); it != std::prev(blocks.end()); ++it) {
        outOfOrder = outOfOrder || !std::is_sorted(it->second.begin(), it->second.end());
        std::sort(it->second.begin(), it->second.end());
        EXPECT_EQ(it->second, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6})) << it->first;
    }
    EXPECT_TRUE(outOfOrder);
}

// Applying makes the stored address the active one and answers at once; a reboot silences
// the device (and its stream) for the restart time and restarts it at the stored address.
// Everything lost: the request reaches the device, its answer and the stream do not.
TEST(SimulatorSilence, ApplyConfigsStoresTheAddressRebootRestartsWithItAndFullLossDropsAll)
{
    auto sim = startSimulator([&](SimOptions& o) { o.restart_ms = 250; });
    LoopbackHost host(sim->port());
    host.request(cmd::kSetScanFrequency, payloadU32(30));
    ASSERT_EQ(statusOf(host.request(cmd::kSetIpAddress, kes_sdk::payloadIPv4(inet_addr("192.168.1.70")))), 0u);
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    ASSERT_EQ(statusOf(host.request(cmd::kApplyConfigs, payloadU32(0))), 0u);
    EXPECT_EQ(host.request(cmd::kGetScanFrequency, {}, Ms(100)).size(), 20u);
    EXPECT_FALSE(host.nextScan().empty());
    EXPECT_EQ(std::make_tuple(sim->snapshot().active_ip_address, sim->snapshot().restarts),
              std::make_tuple("192.168.1.70", 0u));

    const Bytes later = kes_sdk::payloadIPv4(inet_addr("192.168.1.71"));
    ASSERT_EQ(statusOf(host.request(cmd::kSetIpAddress, later)), 0u);
    const auto restarted = Clock::now();
    ASSERT_EQ(statusOf(host.request(cmd::kDeviceReboot, payloadU32(0))), 0u);
    EXPECT_TRUE(host.request(cmd::kGetScanFrequency, {}, Ms(100)).empty());
    EXPECT_TRUE(host.streamStopped(Ms(100)));
    Bytes answer;
    while (answer.empty() && Clock::now() - restarted < Ms(kes_test::scaled(1500)))
        answer = host.request(cmd::kGetIpAddress, {}, Ms(20));
    EXPECT_GE(Clock::now() - restarted, Ms(250));
    ASSERT_EQ(answer.size(), 20u);
    EXPECT_EQ(Bytes(answer.begin() + 12, answer.begin() + 16), later);
    const DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(
        std::make_tuple(state.active_ip_address, state.restarts, state.stream_on, state.ignored_while_silent > 0),
        std::make_tuple("192.168.1.71", 1u, false, true));

    auto lossy = startSimulator([](SimOptions& o) { o.loss = 1.0; });
    LoopbackHost lost(lossy->port());
    EXPECT_TRUE(lost.request(cmd::kDataStream, payloadU32(1), Ms(100)).empty());
    EXPECT_TRUE(lost.nextScan(Ms(250)).empty());
    EXPECT_TRUE(lossy->snapshot().stream_on);
}

// A revolution never switches rate halfway; the new rate comes at the next. Then, at 30 Hz, 15
// revolutions of 33.3 ms: never faster; the upper bound only catches gross drift.
TEST(SimulatorStream, SixBlocksPerRevolutionAtEveryFrequencyOnScheduleUntilTurnedOff)
{
    std::atomic<uint32_t> hooked{0};
    auto sim =
        startSimulator([&](SimOptions& o) { o.on_revolution_sent = [&](uint32_t stamp) { hooked = stamp; }; });
    LoopbackHost host(sim->port());
    // The next six datagrams from a block 1 on, skipping a revolution the stream joined halfway.
    const auto nextFullRevolution = [&] {
        std::vector<Bytes> r;
        for (Bytes d; !(d = host.nextScan()).empty();) {
            if (d[11] == 1)
                r.clear();
            r.push_back(std::move(d));
            if (r.size() == 6 && r[0][11] == 1)
                return r;
        }
        ADD_FAILURE() << "no full revolution";
        return std::vector<Bytes>{};
    };
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    const std::map<uint32_t, uint8_t> rates = {{30, 8}, {25, 7}, {20, 6}, {15, 5}, {10, 4}};
    for (const auto& [hz, rate] : rates) {
        ASSERT_EQ(statusOf(host.request(cmd::kSetScanFrequency, payloadU32(hz))), 0u);
        auto r = nextFullRevolution();
        ASSERT_EQ(r.size(), 6u);
        if (r[0][10] != rate)
            r = nextFullRevolution();
        ASSERT_EQ(r.size(), 6u);
        const size_t n = kes_sdk::pointsForRateCode(rate);
        for (size_t k = 0; k < 6; ++k) {
            const Bytes& d = r[k];
            ASSERT_EQ(d.size(), 20 + 3 * n + 4) << hz;
            EXPECT_EQ(Bytes(d.begin(), d.begin() + 6), (Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90}));
            EXPECT_EQ(std::make_tuple(size_t(kes_sdk::readU16(d.data() + 6)), d[10], size_t(d[11]), stampOf(d)),
                      std::make_tuple(d.size(), rate, k + 1, stampOf(r[0])));
            EXPECT_NE(kes_sdk::readU32(d.data() + d.size() - 4), 0u);
        }
        const auto following = nextFullRevolution();
        ASSERT_EQ(following.size(), 6u);
        EXPECT_EQ(stampOf(following[0]), stampOf(r[0]) + 1);
    }
    const auto first = nextFullRevolution();
    const auto begun = Clock::now();
    std::vector<Bytes> last;
    for (int i = 0; i < 15; ++i)
        last = nextFullRevolution();
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(stampOf(last[0]), stampOf(first[0]) + 15);
    EXPECT_GT(Clock::now() - begun, Ms(400));
    EXPECT_LT(Clock::now() - begun, Ms(kes_test::scaled(1500)));
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(0))), 0u);
    EXPECT_TRUE(host.streamStopped(Ms(60)));
    EXPECT_FALSE(sim->snapshot().stream_on);
    EXPECT_GE(hooked.load(), stampOf(last[0]));
}

TEST(Scene, WallsReflectorMirroredSweepAndPostEdgesWithTailsTheHostFilterRemoves)
{
    constexpr size_t kN = 378; // points per block at 10 Hz
    const auto indexAt = [](double deg) { return size_t(std::lround(deg * (6 * kN - 1) / 270.0)); };
    const auto metres = [](const ScanPoint& p) { return p.range * 0.002; };
    Scene scene(3);
    // A time at which the post stands in view, well clear of the walls looked at.
    const auto timeWithPostAt = [&](double fromDeg, double toDeg) {
        double t = 0;
        while (t < 30 && !(scene.postAngleDeg(t) > fromDeg && scene.postAngleDeg(t) < toDeg))
            t += 0.25;
        return t;
    };
    const double t = timeWithPostAt(160, 200);
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

    scene.sweep(timeWithPostAt(60, 110), kN, false, sweep);
    const auto nearPost = [&](const ScanPoint& p) {
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
