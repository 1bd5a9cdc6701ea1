#include "fake_peer.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/kes_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kes_sdk;
using namespace std::chrono_literals;

namespace {

using Endpoint = FakePeer::Endpoint;

// A peer that, when asked for the motor speed, first streams `burst` and then answers; so
// once the answer is in, every datagram of the burst has been dispatched. Filter level and
// frequency reads answer `level` and 10 Hz.
class BurstPeer {
public:
    explicit BurstPeer(std::vector<Bytes> burst, uint32_t level = 0)
        : burst_(std::move(burst)), peer_([this, level](FakePeer& p, const Bytes& request, const Endpoint& from) {
              const uint16_t code = FakePeer::codeOf(request);
              if (code == cmd::kGetMotorSpeed)
                  for (const Bytes& d : burst_)
                      p.send(d, from);
              const uint32_t value = code == cmd::kGetFilterLevel ? level : 10;
              p.send(FakePeer::response(code, 0, FakePeer::u32Value(value)), from);
          })
    {
    }

    LidarAddress address() const { return peer_.address(); }
    int requests(uint16_t code) const
    {
        const auto got = peer_.received();
        return int(std::count_if(got.begin(), got.end(),
                                 [code](const auto& r) { return FakePeer::codeOf(r.datagram) == code; }));
    }

    void deliver(KesDriver& driver)
    {
        uint32_t rpm = 0;
        ASSERT_EQ(driver.getMotorSpeed(rpm), kSuccess);
    }

private:
    std::vector<Bytes> burst_;
    FakePeer peer_;
};

} // namespace

TEST(DriverScan, QueueKeepsTheNewestThirtyTwoUntilClosed)
{
    std::vector<Bytes> burst;
    for (uint32_t ts = 0; ts < 40; ++ts)
        burst.push_back(FakePeer::scan(8, 1, ts, 126));
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    driver.close();
    openQuietly(driver);
    driver.setTimeout(100);
    ScanPacketData packet;
    EXPECT_EQ(driver.readScanPacket(packet), kNoAnswer);
    peer.deliver(driver);
    for (uint32_t ts = 8; ts < 40; ++ts) {
        ASSERT_EQ(driver.readScanPacket(packet), kSuccess);
        EXPECT_EQ(packet.time_stamp, ts);
    }
    EXPECT_EQ(driver.readScanPacket(packet), kNoAnswer);
}

TEST(DriverScan, AssemblyStartingMidScanCompletesAtTheNextSix)
{
    std::vector<Bytes> burst;
    const uint8_t order[] = {4, 5, 6, 1, 2, 3, 4, 5, 6};
    for (size_t i = 0; i < 9; ++i)
        burst.push_back(FakePeer::scan(6, order[i], uint32_t(100 + i), 192, uint16_t(i < 3 ? 2000 : 3000)));
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    FullScanBlock scan;
    ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
    EXPECT_EQ(scan.time_stamp, 100u);
    ASSERT_EQ(scan.layers.size(), 1u);
    const ScanLayer& layer = scan.layers[0];
    ASSERT_EQ(layer.ranges.size(), 1152u);
    ASSERT_EQ(layer.intensities.size(), 1152u);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(layer.ranges[size_t(k * 192)], 3000 + k + 1) << "sub-block " << k + 1;
        EXPECT_EQ(layer.intensities[size_t(k * 192 + 191)], (k + 1) * 10);
    }
    // Nothing left over: the last 6 ended the call.
    driver.setTimeout(50);
    ScanPacketData rest;
    EXPECT_EQ(driver.readScanPacket(rest), kNoAnswer);
}

// Read once from the device, then kept by the driver's own settings.
TEST(DriverScan, FilterParametersAreReadOnceAndFollowTheSettings)
{
    std::vector<Bytes> burst;
    for (uint8_t b = 1; b <= 6; ++b) {
        Bytes d = FakePeer::scan(4, b, 1, 378);
        if (b == 2) {
            d[20 + 3 * 100] = 0x13; // one far spike among 1002s
            d[20 + 3 * 100 + 1] = 0x88;
        }
        burst.push_back(d);
    }
    BurstPeer peer(burst, 1);
    KesDriver driver(peer.address());
    openQuietly(driver);
    const auto spikeAfterGrab = [&] {
        peer.deliver(driver);
        FullScanBlock scan;
        EXPECT_EQ(driver.grabFullScanBlock(scan), kSuccess);
        const auto& r = scan.layers.at(0).ranges;
        return std::vector<uint16_t>(r.begin() + 378 + 99, r.begin() + 378 + 103);
    };
    const std::vector<uint16_t> removed = {0, 0, 0, 1002};
    const std::vector<uint16_t> kept = {1002, 5000, 1002, 1002};
    EXPECT_EQ(spikeAfterGrab(), removed);
    ASSERT_EQ(driver.setFilterLevel(0), kSuccess);
    EXPECT_EQ(spikeAfterGrab(), kept);
    ASSERT_EQ(driver.setFilterLevel(1), kSuccess);
    ASSERT_EQ(driver.setScanFrequency(12), kSuccess);
    EXPECT_EQ(spikeAfterGrab(), kept);
    ASSERT_EQ(driver.setScanFrequency(10), kSuccess);
    EXPECT_EQ(spikeAfterGrab(), removed);
    EXPECT_EQ(peer.requests(cmd::kGetFilterLevel) + peer.requests(cmd::kGetScanFrequency), 2);
}

// One lost datagram at a change from 30 to 10 Hz: the first datagram of the new rate starts
// the revolution again; datagrams without points or of foreign indices are passed over.
TEST(DriverScan, ARateChangeRestartsTheRevolution)
{
    std::vector<Bytes> burst;
    for (uint8_t b : {1, 2, 3, 5, 6})
        burst.push_back(FakePeer::scan(8, b, 1, 126));
    for (uint8_t b = 1; b <= 6; ++b) {
        burst.push_back(FakePeer::scan(4, b, 2, 378, 3000));
        burst.push_back(FakePeer::scan(b == 3 ? 9 : 6, b == 3 ? 3 : 7, 3, b == 3 ? 0 : 192));
    }
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    FullScanBlock scan;
    ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
    EXPECT_EQ(scan.time_stamp, 2u);
    const ScanLayer& layer = scan.layers.at(0);
    ASSERT_EQ(layer.ranges.size(), 2268u);
    for (size_t i = 0; i < 2268; ++i)
        ASSERT_EQ(layer.ranges[i], 3000 + i / 378 + 1) << i;
}

TEST(DriverScan, AStreamThatNeverCompletesARevolutionEndsTheCallWithinTwiceTheTimeout)
{
    std::mutex m;
    Endpoint driverEnd;
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        std::lock_guard<std::mutex> lock(m);
        driverEnd = from;
        p.send(FakePeer::response(FakePeer::codeOf(request), 0), from);
    });
    const std::pair<std::vector<uint8_t>, bool> streams[] = {
        {{1, 2}, false}, {{7}, true}, {{0}, true}, {{1, 2, 3, 4, 5}, true}};
    for (const auto& [blocks, repeat] : streams) {
        KesDriver driver(peer.address());
        openQuietly(driver);
        ASSERT_EQ(driver.trackConnect(), kSuccess);
        driver.setTimeout(200);
        std::unique_lock<std::mutex> lock(m);
        ScanStreamer junk(driverEnd, blocks, repeat);
        lock.unlock();
        const auto start = FakePeer::Clock::now();
        FullScanBlock scan;
        EXPECT_EQ(driver.grabFullScanBlock(scan), kNoAnswer) << int(blocks[0]);
        EXPECT_LT(FakePeer::Clock::now() - start, 1500ms) << int(blocks[0]);
    }
}
