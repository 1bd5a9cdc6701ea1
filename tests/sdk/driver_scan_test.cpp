#include "fake_peer.h"

using namespace kes_sdk;
using namespace std::chrono_literals;

namespace {

// A peer that, asked for the motor speed, first streams `burst` and then answers; so once the
// answer is in, every datagram of the burst has been dispatched. Filter level reads answer
// `level`, frequency reads 10 Hz.
class BurstPeer : public FakePeer {
public:
    explicit BurstPeer(std::vector<Bytes> burst, uint32_t level = 0)
        : FakePeer([burst, level](FakePeer& p, const Bytes& request, const Endpoint& from) {
              const uint16_t code = codeOf(request);
              if (code == cmd::kGetMotorSpeed)
                  for (const Bytes& d : burst)
                      p.send(d, from);
              p.send(response(code, 0, u32Value(code == cmd::kGetFilterLevel ? level : 10)), from);
          })
    {
    }

    void deliver(KesDriver& driver)
    {
        uint32_t rpm = 0;
        ASSERT_EQ(driver.getMotorSpeed(rpm), kSuccess);
    }
};

} // namespace

// Closing empties the queue, so a reopened driver starts clean.
TEST(DriverScan, QueueKeepsTheNewestThirtyTwoUntilClosed)
{
    std::vector<Bytes> burst;
    for (uint32_t ts = 0; ts < 40; ++ts)
        burst.push_back(scanDatagram(8, 1, ts, 126));
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

// A revolution joined halfway completes at the next six; one datagram lost at a change from
// 30 to 10 Hz restarts the revolution at the first datagram of the new rate; datagrams without
// points or of foreign indices are passed over; the call takes nothing beyond its revolution.
TEST(DriverScan, AssemblyPlacesSubBlocksByIndexAndRestartsAtARateChange)
{
    std::vector<Bytes> burst;
    const uint8_t order[] = {4, 5, 6, 1, 2, 3, 4, 5, 6};
    for (size_t i = 0; i < 9; ++i)
        burst.push_back(scanDatagram(6, order[i], uint32_t(100 + i), 192, uint16_t(i < 3 ? 2000 : 3000)));
    for (uint8_t b : {1, 2, 3, 5, 6})
        burst.push_back(scanDatagram(8, b, 1, 126));
    for (uint8_t b = 1; b <= 6; ++b) {
        burst.push_back(scanDatagram(4, b, 2, 378, 4000));
        burst.push_back(scanDatagram(b == 3 ? 9 : 6, b == 3 ? 3 : 7, 3, b == 3 ? 0 : 192));
    }
    BurstPeer peer(burst);
    KesDriver driver(peer.address());
    openQuietly(driver);
    peer.deliver(driver);
    const struct {
        uint32_t stamp;
        size_t points;
        uint16_t range;
    } scans[] = {{100, 192, 3000}, {2, 378, 4000}};
    for (const auto& expected : scans) {
        FullScanBlock scan;
        ASSERT_EQ(driver.grabFullScanBlock(scan), kSuccess);
        EXPECT_EQ(scan.time_stamp, expected.stamp);
        ASSERT_EQ(scan.layers.size(), 1u);
        const ScanLayer& layer = scan.layers[0];
        ASSERT_EQ(layer.ranges.size(), 6 * expected.points);
        ASSERT_EQ(layer.intensities.size(), 6 * expected.points);
        for (size_t i = 0; i < layer.ranges.size(); ++i) {
            const size_t k = i / expected.points + 1;
            ASSERT_EQ(layer.ranges[i], expected.range + k) << i;
            ASSERT_EQ(layer.intensities[i], 10 * k) << i;
        }
    }
    driver.setTimeout(50);
    ScanPacketData rest;
    EXPECT_EQ(driver.readScanPacket(rest), kSuccess) << "the datagram after the last six stays queued";
    EXPECT_EQ(rest.block_id, 7);
}

// Read once from the device, then kept by the driver's own settings.
TEST(DriverScan, FilterParametersAreReadOnceAndFollowTheSettings)
{
    std::vector<Bytes> burst;
    for (uint8_t b = 1; b <= 6; ++b) {
        burst.push_back(scanDatagram(4, b, 1, 378));
        if (b == 2) {
            burst.back()[20 + 3 * 100] = 0x13; // one far spike among 1002s
            burst.back()[20 + 3 * 100 + 1] = 0x88;
        }
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

TEST(DriverScan, AStreamThatNeverCompletesARevolutionEndsTheCallWithinTwiceTheTimeout)
{
    std::mutex m;
    Endpoint driverEnd;
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        std::lock_guard<std::mutex> lock(m);
        driverEnd = from;
        p.send(response(codeOf(request), 0), from);
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
        const auto start = Clock::now();
        FullScanBlock scan;
        EXPECT_EQ(driver.grabFullScanBlock(scan), kNoAnswer) << int(blocks[0]);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kes_test::scaled(1500))) << int(blocks[0]);
    }
}
