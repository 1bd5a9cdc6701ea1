#include "fake_peer.h"
#include "kes_sdk/network.h"

#include <kes_test/simulator.h>

#include <sstream>

using namespace kes_sdk;
using namespace std::chrono_literals;

namespace {

// Asked for the motor speed, streams `burst` before it answers: once the answer is in, every
// datagram of the burst has been dispatched. Filter level reads answer `level`, others 10.
struct BurstPeer : FakePeer {
    explicit BurstPeer(std::vector<Bytes> burst, uint32_t level = 0)
        : FakePeer([burst, level](FakePeer& p, const Bytes& request, const Endpoint& from) {
              const uint16_t code = codeOf(request);
              for (const Bytes& d : code == cmd::kGetMotorSpeed ? burst : std::vector<Bytes>{})
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

TEST(Transport, OpenPrintsItsEndpointsAndSendsLeaveInOrderAndOnlyAcceptedDatagramsArrive)
{
    FakePeer peer([](FakePeer&, const Bytes&, const Endpoint&) {});
    std::mutex mutex;
    std::vector<Bytes> arrived;
    Network net(peer.address());
    net.setCallback([&](Bytes d) {
        std::lock_guard<std::mutex> lock(mutex);
        arrived.push_back(std::move(d));
    });
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    std::ostringstream expected;
    expected << "local_ep is bind!\nlocal_ep.address is 0.0.0.0\nlocal_ep.port is " << net.localPort()
             << "\nsensor_address_.address is 127.0.0.1\nsensor_address_.port is " << peer.port() << "\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expected.str());
    EXPECT_GT(net.receiveBufferSize(), 0);
    // Sends queue up behind the one in flight and leave in call order.
    for (uint16_t code = 0x0201; code < 0x0201 + 50; ++code)
        net.send(buildRequest(code));
    ASSERT_TRUE(kes_test::waitUntil([&] { return peer.received().size() == 50; }));
    for (size_t i = 0; i < 50; ++i)
        EXPECT_EQ(codeOf(peer.received()[i].datagram), 0x0201 + i);

    // From any sender, only datagrams that pass the acceptance test reach the callback.
    asio::io_context io;
    asio::ip::udp::socket stranger(io, loopback());
    Bytes bad = scanDatagram(6, 1, 0, 192);
    bad[0] = 0;
    const Bytes good = scanDatagram(6, 2, 0, 192);
    stranger.send_to(asio::buffer(bad), loopback(net.localPort()));
    stranger.send_to(asio::buffer(good), loopback(net.localPort()));
    ASSERT_TRUE(kes_test::waitUntil([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !arrived.empty();
    }));
    net.close();
    EXPECT_FALSE(net.isOpen());
    EXPECT_EQ(arrived, std::vector<Bytes>{good});
}

// Against the simulator: the request bytes it logs, and its answers decoded; the writes show
// on the reads after them.
TEST(DriverExchange, EachOperationSendsItsCodeAndPayloadAndDecodesItsAnswer)
{
    const auto sim = kes_test::startSimulator();
    KesDriver driver(LidarAddress(inet_addr("127.0.0.1"), htons(sim->port())));
    openQuietly(driver);
    uint32_t dir = 0, ip = 0, hz = 0, level = 0, u16 = 0, u32 = 0, rpm = 0;
    float t = 0;
    std::string hw, fw;
    for (CommandResult r : {driver.trackConnect(),
                            driver.setLidarIPAddress(inet_addr("192.168.1.57")),
                            driver.setScanFrequency(25),
                            driver.setFilterLevel(3),
                            driver.setScanDirection(1),
                            driver.enableDataStream(),
                            driver.disableDataStream(),
                            driver.applyConfigs(),
                            driver.writeCommandU16(cmd::kWrite0102, 0x0A0B),
                            driver.writeCommand(cmd::kWrite0107, 9),
                            driver.getScanDirection(dir),
                            driver.getApdTemperature(t),
                            driver.getLidarIPAddress(ip),
                            driver.getHardwareVersion(hw),
                            driver.getFirmwareVersion(fw),
                            driver.getScanFrequency(hz),
                            driver.getFilterLevel(level),
                            driver.readCommand(cmd::kRead0202, u16),
                            driver.readCommand(cmd::kRead0207, u32),
                            driver.getMotorSpeed(rpm),
                            driver.deviceReboot()})
        EXPECT_EQ(r, kSuccess);
    EXPECT_EQ(std::vector<uint32_t>({dir, ip, hz, level, u16, u32}),
              std::vector<uint32_t>({1, uint32_t(inet_addr("192.168.1.57")), 25, 3, 0x0A0B, 9}));
    EXPECT_NEAR(t, 40.0f, 3.0f);
    EXPECT_EQ(hw, std::string("H2.1").append(12, '\0'));
    EXPECT_EQ(fw.substr(0, 6), "A1.0.7");
    // clang-format off
    const std::vector<std::pair<uint16_t, Bytes>> expected = {
        {0x0108, {0x12, 0x34, 0x56, 0x78}}, {0x0101, {0x39, 0x01, 0xA8, 0xC0}}, {0x0105, {0, 0, 0, 25}},
        {0x0106, {0, 0, 0, 3}},             {0x0115, {0, 0, 0, 1}},             {0x010A, {0, 0, 0, 1}},
        {0x010A, {0, 0, 0, 0}},             {0x010D, {0, 0, 0, 0}},             {0x0102, {0x0A, 0x0B, 0, 0}},
        {0x0107, {0, 0, 0, 9}},             {0x0212, {}},                       {0x0209, {}},
        {0x0201, {}},                       {0x020D, {}},                       {0x020E, {}},
        {0x0205, {}},                       {0x0206, {}},                       {0x0202, {}},
        {0x0207, {}},                       {0x0208, {}},                       {0x010E, {0, 0, 0, 0}},
    };
    // clang-format on
    const auto got = sim->snapshot().requests;
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(std::make_pair(got[i].code, got[i].payload), expected[i]) << i;
}

// Closed, never opened, foreign-addressed or with a zero time-out, a driver sends nothing and
// answers 2 at once. Failures return 1 and leave the output alone; an answer for another
// command, or one that belonged to an earlier request, never satisfies a request: it times out.
TEST(DriverExchange, NoExchangeWithoutAnOpenDriverAndATimeoutFailuresForeignAndStaleAnswers)
{
    struct OtherAddress : SocketAddress {};
    KesDriver foreign{OtherAddress{}};
    EXPECT_EQ(foreign.open(), kSocketError);
    EXPECT_FALSE(foreign.isOpen());
    EXPECT_EQ(foreign.trackConnect(), kNoAnswer);

    std::atomic<int> calls{0};
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        const uint16_t code = codeOf(request);
        const int call = calls++;
        if (call < 3)
            p.send(response(code,
                            code == cmd::kGetFilterLevel ? 9
                            : isReadCommand(code)        ? 1
                                                         : 7,
                            u32Value(55)),
                   from);
        else if (call == 3)
            p.send(response(cmd::kGetFilterLevel, 0, u32Value(3)), from);
        else if (call == 4) {
            std::this_thread::sleep_for(200ms);
            p.send(response(code, 0, u32Value(600)), from);
        }
    });
    KesDriver driver(peer.address());
    uint32_t value = 1234;
    EXPECT_EQ(driver.trackConnect(), kNoAnswer);
    openQuietly(driver);
    driver.close();
    EXPECT_FALSE(driver.isOpen());
    EXPECT_EQ(driver.trackConnect(), kNoAnswer);
    openQuietly(driver);
    EXPECT_TRUE(driver.isOpen());
    driver.setTimeout(0);
    ScanPacketData packet;
    EXPECT_EQ(driver.getScanFrequency(value), kNoAnswer);
    EXPECT_EQ(driver.readScanPacket(packet), kNoAnswer);
    EXPECT_EQ(calls, 0);
    driver.setTimeout(3000);

    EXPECT_EQ(driver.setScanFrequency(20), kDeviceFailure);
    EXPECT_EQ(driver.getScanFrequency(value), kDeviceFailure);
    EXPECT_EQ(driver.getFilterLevel(value), kDeviceFailure);
    EXPECT_EQ(value, 1234u);

    driver.setTimeout(100);
    const auto start = Clock::now();
    EXPECT_EQ(driver.getScanFrequency(value), kNoAnswer);
    EXPECT_GE(Clock::now() - start, 100ms);
    EXPECT_EQ(driver.getMotorSpeed(value), kNoAnswer);
    std::this_thread::sleep_for(200ms); // let the late answer land first
    EXPECT_EQ(driver.getMotorSpeed(value), kNoAnswer);
    EXPECT_EQ(value, 1234u);
}

// The peer reads every request as it arrives and answers each 30 ms later from a thread of
// its own, so a second request sent before the first answer would be seen early.
TEST(DriverExchange, ConcurrentCallersEachGetTheirOwnAnswerOneAtATime)
{
    std::mutex m;
    std::vector<Clock::time_point> answeredAt;
    std::vector<std::thread> answering;
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        std::lock_guard<std::mutex> lock(m);
        answering.emplace_back([&, request, from] {
            std::this_thread::sleep_for(30ms);
            {
                std::lock_guard<std::mutex> lock(m);
                answeredAt.push_back(Clock::now());
            }
            p.send(response(codeOf(request), 0, u32Value(codeOf(request))), from);
        });
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    std::atomic<int> wrong{0};
    const auto caller = [&](uint16_t code) {
        return std::thread([&, code] {
            for (int i = 0; i < 5; ++i) {
                uint32_t value = 0;
                wrong += driver.readCommand(code, value) != kSuccess || value != code;
            }
        });
    };
    std::thread first = caller(cmd::kGetMotorSpeed), second = caller(cmd::kGetScanDirection);
    first.join();
    second.join();
    EXPECT_EQ(wrong, 0);
    std::lock_guard<std::mutex> lock(m);
    for (std::thread& t : answering)
        t.join();
    const auto got = peer.received();
    ASSERT_EQ(got.size(), 10u);
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_GE(got[i].at, answeredAt[i - 1]) << "request " << i << " went out before the previous answer";
}

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
    for (uint8_t b = 1; b <= 6; ++b)
        burst.push_back(scanDatagram(4, b, 1, 378));
    burst[1][20 + 3 * 100] = 0x13; // one far spike among 1002s
    burst[1][20 + 3 * 100 + 1] = 0x88;
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

// Junk after the answer to the handshake: a few datagrams once, or datagrams of a foreign
// index, without points, or short of one index, over and over until the next case (5 s at most).
TEST(DriverScan, AStreamThatNeverCompletesARevolutionEndsTheCallWithinTwiceTheTimeout)
{
    const std::pair<std::vector<uint8_t>, bool> streams[] = {
        {{1, 2}, false}, {{7}, true}, {{0}, true}, {{1, 2, 3, 4, 5}, true}};
    std::atomic<size_t> current{0};
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        p.send(response(codeOf(request), 0), from);
        const size_t mine = current;
        const auto end = Clock::now() + 5s;
        do {
            for (uint8_t b : streams[mine].first)
                p.send(scanDatagram(6, b, 1, 192), from);
            std::this_thread::sleep_for(1ms);
        } while (streams[mine].second && current == mine && Clock::now() < end);
    });
    for (; current < std::size(streams); ++current) {
        KesDriver driver(peer.address());
        openQuietly(driver);
        ASSERT_EQ(driver.trackConnect(), kSuccess);
        driver.setTimeout(200);
        const auto start = Clock::now();
        FullScanBlock scan;
        EXPECT_EQ(driver.grabFullScanBlock(scan), kNoAnswer) << current;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kes_test::scaled(1500))) << current;
    }
}
