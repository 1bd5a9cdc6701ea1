#include "kes_sdk/command_codes.h"
#include "kes_sdk/kes_driver.h"
#include "fake_peer.h"
#include "open_quietly.h"

#include <gtest/gtest.h>

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
              ++requests_;
          })
    {
    }

    LidarAddress address() const { return peer_.address(); }
    int requests() const { return requests_; }

    void deliver(KesDriver& driver)
    {
        uint32_t rpm = 0;
        ASSERT_EQ(driver.getMotorSpeed(rpm), kSuccess);
    }

private:
    std::vector<Bytes> burst_;
    std::atomic<int> requests_{0};
    FakePeer peer_;
};

} // namespace

TEST(DriverScan, QueueKeepsTheNewestThirtyTwo)
{
    std::vector<Bytes> burst;
    for (uint32_t ts = 0; ts < 40; ++ts)
        burst.push_back(FakePeer::scan(8, 1, ts, 126));
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    driver.setTimeout(100);
    ScanPacketData packet;
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

TEST(DriverScan, FilterParametersAreReadOnceAndApplied)
{
    std::vector<Bytes> burst;
    for (int round = 0; round < 2; ++round)
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
    peer.deliver(driver);
    FullScanBlock scan;
    ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
    const auto& r = scan.layers[0].ranges;
    EXPECT_EQ(r[378 + 99], 0);
    EXPECT_EQ(r[378 + 100], 0);
    EXPECT_EQ(r[378 + 101], 0);
    EXPECT_EQ(r[378 + 102], 1002);
    const int afterFirst = peer.requests();
    ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
    EXPECT_EQ(peer.requests(), afterFirst) << "parameters are loaded once";
}

TEST(DriverScan, MismatchedPointCountsNeverWritePastTheLayer)
{
    std::vector<Bytes> burst;
    burst.push_back(FakePeer::scan(8, 1, 1, 126));
    for (uint8_t b = 2; b <= 6; ++b)
        burst.push_back(FakePeer::scan(4, b, 1, 378));
    burst.push_back(FakePeer::scan(9, 3, 1, 0));
    burst.push_back(FakePeer::scan(6, 7, 1, 192));
    burst.push_back(FakePeer::scan(8, 1, 1, 126));
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    FullScanBlock scan;
    ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
    ASSERT_EQ(scan.layers[0].ranges.size(), 756u);
    // Sub-block 2 of 378 points fills slot 2 only up to the layer's end.
    EXPECT_EQ(scan.layers[0].ranges[378], 1002);
    EXPECT_EQ(scan.layers[0].ranges[755], 1002);
}

TEST(DriverScan, AbandonsAPartialScanOnTimeout)
{
    std::vector<Bytes> burst = {FakePeer::scan(6, 1, 1, 192), FakePeer::scan(6, 2, 1, 192)};
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    driver.setTimeout(100);
    FullScanBlock scan;
    EXPECT_EQ(driver.grabFullScanBlock(scan), kNoAnswer);
}
