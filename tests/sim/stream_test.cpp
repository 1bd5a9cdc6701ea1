#include "loopback_host.h"

#include "kes_sdk/kes_driver.h"

#include <arpa/inet.h>

#include <algorithm>
#include <atomic>
#include <map>

namespace kes_sim_test {
namespace {

using Revolution = std::vector<Bytes>;

uint32_t stampOf(const Bytes& d)
{
    return kes_sdk::readU32(d.data() + 14);
}

// The next six datagrams from a block 1 on, skipping a revolution the stream joined halfway.
Revolution nextFullRevolution(LoopbackHost& host)
{
    Revolution r;
    for (Bytes d; !(d = host.nextScan()).empty();) {
        if (d[11] == 1)
            r.clear();
        r.push_back(std::move(d));
        if (r.size() == 6 && r[0][11] == 1)
            return r;
    }
    ADD_FAILURE() << "no full revolution";
    return {};
}

// A revolution never switches rate halfway; the new rate comes at the next.
TEST(SimulatorStream, SixBlocksPerRevolutionAtEveryFrequency)
{
    auto sim = startSimulator();
    LoopbackHost host(sim->port());
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    const std::map<uint32_t, uint8_t> rates = {{30, 8}, {25, 7}, {20, 6}, {15, 5}, {10, 4}};
    for (const auto& [hz, rate] : rates) {
        ASSERT_EQ(statusOf(host.request(cmd::kSetScanFrequency, payloadU32(hz))), 0u);
        Revolution r = nextFullRevolution(host);
        ASSERT_EQ(r.size(), 6u);
        if (r[0][10] != rate)
            r = nextFullRevolution(host);
        ASSERT_EQ(r.size(), 6u);
        const size_t n = kes_sdk::pointsForRateCode(rate);
        for (size_t k = 0; k < 6; ++k) {
            const Bytes& d = r[k];
            ASSERT_EQ(d.size(), 20 + 3 * n + 4) << hz;
            EXPECT_EQ(Bytes(d.begin(), d.begin() + 6), (Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90}));
            EXPECT_EQ(kes_sdk::readU16(d.data() + 6), d.size());
            EXPECT_EQ(d[10], rate);
            EXPECT_EQ(d[11], k + 1);
            EXPECT_EQ(stampOf(d), stampOf(r[0]));
            EXPECT_NE(kes_sdk::readU32(d.data() + d.size() - 4), 0u);
        }
        const Revolution following = nextFullRevolution(host);
        ASSERT_EQ(following.size(), 6u);
        EXPECT_EQ(stampOf(following[0]), stampOf(r[0]) + 1);
    }
}

// 15 revolutions of 33.3 ms: never faster; the upper bound only catches gross drift.
TEST(SimulatorStream, KeepsScheduleAndStopsWhenTurnedOff)
{
    std::atomic<uint32_t> hooked{0};
    kes_sim::SimOptions options;
    options.on_revolution_sent = [&](uint32_t stamp) { hooked = stamp; };
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    host.request(cmd::kSetScanFrequency, payloadU32(30));
    host.request(cmd::kDataStream, payloadU32(1));
    const Revolution first = nextFullRevolution(host);
    const auto begun = Clock::now();
    Revolution last;
    for (int i = 0; i < 15; ++i)
        last = nextFullRevolution(host);
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(stampOf(last[0]), stampOf(first[0]) + 15);
    EXPECT_GT(Clock::now() - begun, Ms(400));
    EXPECT_LT(Clock::now() - begun, Ms(kes_test::scaled(1500)));
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(0))), 0u);
    EXPECT_TRUE(host.streamStopped(Ms(60)));
    EXPECT_FALSE(sim->snapshot().stream_on);
    EXPECT_GE(hooked.load(), stampOf(last[0]));
}

// With blocks reordered and 5 % of datagrams lost, the driver still assembles revolutions.
TEST(SimulatorStream, ReorderedAndLossyBlocksAssembleThroughTheDriver)
{
    kes_sim::SimOptions options;
    options.reorder = true;
    options.loss = 0.05;
    auto sim = startSimulator(options);
    kes_sdk::KesDriver driver(kes_sdk::LidarAddress(inet_addr("127.0.0.1"), htons(sim->port())));
    ASSERT_EQ(driver.open(), kes_sdk::kSuccess);
    driver.setTimeout(200);
    // Requests can be lost too: asked again as a person would.
    const auto retried = [](auto op) {
        for (int i = 0; i < 20; ++i)
            if (op() == kes_sdk::kSuccess)
                return true;
        return false;
    };
    ASSERT_TRUE(retried([&] { return driver.setScanFrequency(30); }));
    ASSERT_TRUE(retried([&] { return driver.enableDataStream(); }));
    driver.setTimeout(2000);
    bool outOfOrder = false;
    for (int i = 0; i < 20 && !outOfOrder; ++i) {
        kes_sdk::ScanPacketData a, b;
        ASSERT_EQ(driver.readScanPacket(a), kes_sdk::kSuccess);
        ASSERT_EQ(driver.readScanPacket(b), kes_sdk::kSuccess);
        outOfOrder = a.time_stamp == b.time_stamp && a.block_id > b.block_id;
    }
    EXPECT_TRUE(outOfOrder);
    std::set<uint32_t> stamps;
    for (int i = 0; i < 10; ++i) {
        kes_sdk::FullScanBlock scan;
        ASSERT_EQ(driver.grabFullScanBlock(scan), kes_sdk::kSuccess);
        const auto& ranges = scan.layers.at(0).ranges;
        ASSERT_EQ(ranges.size(), 6 * 126u);
        EXPECT_GT(std::count_if(ranges.begin(), ranges.end(), [](uint16_t r) { return r > 0; }), 600);
        stamps.insert(scan.time_stamp);
    }
    EXPECT_GE(stamps.size(), 5u);
}

} // namespace
} // namespace kes_sim_test
