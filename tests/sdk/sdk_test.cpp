#include "device_datagrams.h"
#include "kes_sdk/network.h"
#include "kes_sdk/tail_filter.h"

#include <kes_sim/replay.h>
#include <kes_test/simulator.h>

#include <arpa/inet.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

using namespace kes_sdk;
using namespace std::chrono_literals;

static Bytes withCrc(Bytes d)
{
    appendU32(d, crc32Mpeg2(d.data(), d.size()));
    return d;
}

TEST(WireFormat, CrcRequestsAndAcceptanceOfDatagramsAreByteExact)
{
    const Bytes check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32Mpeg2(check.data(), check.size()), 0x0376E6E7u);
    EXPECT_EQ(crc32Mpeg2(nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(buildRequest(cmd::kGetScanFrequency), withCrc({0x00, 0x0C, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00}));
    EXPECT_EQ(buildRequest(cmd::kTrackConnect, payloadU32(cmd::kHandshakeMagic)),
              withCrc({0x00, 0x10, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78}));

    // Command datagrams need their CRC; scan datagrams their magic and length, or the zero tail
    // alone (which lets a class-1 datagram in, magic or not).
    const Bytes answer = response(cmd::kSetScanFrequency, 0);
    const Bytes scan = scanDatagram(6, 1, 7, 192);
    Bytes badCrc = answer, badLength = scan, badMagic = scan;
    badCrc[9] ^= 0x01;
    badLength[7] ^= 0x01;
    badMagic[0] = 0x00;
    const std::pair<Bytes, bool> cases[] = {{answer, true},
                                            {badCrc, false},
                                            {Bytes{0, 0, 0, 0, 0, 0, 0}, false},
                                            {scan, true},
                                            {badLength, false},
                                            {badMagic, false},
                                            {Bytes{0x11, 0x22, 0x01, 0x33, 0, 0, 0, 0}, true},
                                            {Bytes{0x11, 0x22, 0x07, 0x33, 0x44, 0, 0, 0, 0}, true}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(acceptDatagram(cases[i].first), cases[i].second) << i;
}

// Writes give their status; reads their value on success, the u32 value on status 1 and
// nothing on any other; an answer too short for its command is unusable. Scan datagrams give
// every field at each rate code.
TEST(WireFormat, AnswersDecodeByCommandAndScanDatagramsByRateCode)
{
    const uint32_t none = 0xDEAD; // the value is empty
    const std::tuple<uint16_t, Bytes, CommandResult, uint32_t> cases[] = {
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 0), kSuccess, none},
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 7), kDeviceFailure, 7},
        {cmd::kGetIpAddress, response(cmd::kGetIpAddress, 0, {0x64, 0x01, 0xA8, 0xC0}), kSuccess,
         uint32_t(inet_addr("192.168.1.100"))},
        {cmd::kRead0202, response(cmd::kRead0202, 0, {0x01, 0x02, 0xFF, 0xFF}), kSuccess, 0x0102},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 1, payloadU32(99)), kDeviceFailure, 99},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 5, payloadU32(99)), kDeviceFailure, none},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 0), kNoAnswer, none},
        {cmd::kGetFirmwareVersion, response(cmd::kGetFirmwareVersion, 0, payloadU32(1)), kNoAnswer, none},
        {cmd::kSetScanFrequency, withCrc({0, 0, 0, 0, 0, 0, 0x01, 0x05}), kNoAnswer, none},
    };
    for (const auto& [code, answer, result, number] : cases) {
        Bytes value{1, 2, 3};
        EXPECT_EQ(parseResponse(answer, code, value), result) << code;
        if (number == none)
            EXPECT_TRUE(value.empty()) << code;
        else
            EXPECT_EQ(valueAsU32(value), number) << code;
    }

    const std::pair<uint8_t, size_t> rates[] = {{4, 378}, {5, 252}, {6, 192}, {7, 150}, {8, 126}, {9, 0}};
    for (const auto& [code, n] : rates) {
        ScanPacketData p;
        ASSERT_TRUE(parseScanDatagram(scanDatagram(code, 3, 0x01020304, n), p)) << int(code);
        uint16_t raw;
        std::memcpy(&raw, Bytes{0xBE, 0xEF}.data(), 2);
        EXPECT_EQ(std::make_tuple(p.block_id, p.time_stamp, p.reserved8, p.reserved16, p.layers.size()),
                  std::make_tuple(uint8_t(3), 0x01020304u, uint8_t(0x5A), raw, size_t(1)));
        ASSERT_EQ(p.layers.at(0).ranges, std::vector<uint16_t>(n, 1003));
        ASSERT_EQ(p.layers[0].intensities, std::vector<uint8_t>(n, 30));
    }
    // Too short for its points: rejected, the record untouched.
    Bytes cut = scanDatagram(6, 1, 0, 192);
    cut.resize(20 + 3 * 191);
    ScanPacketData p;
    p.block_id = 42;
    EXPECT_FALSE(parseScanDatagram(cut, p));
    EXPECT_FALSE(parseScanDatagram(Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90, 0, 10, 0, 0}, p));
    EXPECT_EQ(p.block_id, 42);
}

// Which points the filter clears ('0'), for a point at index 3 and its neighbours. The first pairs of
// ranges lie so close to the edge of counting that a constant one unit in the last place off moves them.
TEST(TailFilter, EdgesOfCountingNeighboursNeededAndJumpsAtEveryFrequencyAndLevel)
{
    constexpr uint16_t D = 1000, F = 60000;
    const std::tuple<uint32_t, uint32_t, std::vector<uint16_t>, std::string> cases[] = {
        {10, 1, {23179, 23179, 23179, 23179, 24096, 24096, 24096}, "......."},
        {10, 1, {39508, 39508, 39508, 39508, 41071, 41071, 41071}, "..000.."},
        {15, 2, {21722, 21722, 21722, 21722, 23011, 23011, 23011}, "..000.."},
        {15, 2, {34799, 34799, 34799, 34799, 36864, 36864, 36864}, "......."},
        {20, 3, {25895, 25895, 25895, 25895, 27010, 27010, 27010}, "..000.."},
        {20, 3, {22063, 22063, 22063, 22063, 23013, 23013, 23013}, "......."},
        {25, 4, {17454, 17454, 17454, 17454, 18025, 18025, 18025}, "..000.."},
        {25, 4, {26074, 26074, 26074, 26074, 26927, 26927, 26927}, "......."},
        {30, 5, {24991, 24991, 24991, 24991, 25972, 25972, 25972}, "..000.."},
        {30, 5, {47409, 47409, 47409, 47409, 49270, 49270, 49270}, "......."},
        {10, 1, {F, F, F, D, D, D, D}, "..000.."},
        {10, 1, {D, D, D, D, F, F, D}, "......."},
        {10, 2, {D, D, D, D, F, F, D}, "..000.."},
        {10, 3, {D, D, D, D, F, D, D}, "......."},
        {10, 4, {D, D, D, D, F, D, D}, "......."},
        {10, 5, {D, D, F, D, D, D, D}, "..000.."},
        {10, 6, {D, D, D, D, F, F, F}, "...0..."},
        {10, 0, {F, F, F, D, F, F, F}, "......."},
        {12, 1, {F, F, F, D, F, F, F}, "......."},
        {10, 5, {F, F, F, 0, F, F, F}, "......."},
        {10, 5, {F, F, D + 14, D, D + 14, F, F}, "......."},
        {10, 5, {F, F, D, D, D + 15, F, F}, "..000.."},
        {10, 5, {F, F, D - 15, D, D, F, F}, "..000.."},
        {15, 5, {F, F, D + 29, D, D + 29, F, F}, "......."},
        {15, 5, {F, F, D, D, D + 30, F, F}, "..000.."},
        {20, 5, {F, F, D + 24, D, D + 24, F, F}, "......."},
        {20, 5, {F, F, D, D, D + 25, F, F}, "..000.."},
        {25, 5, {F, F, D + 34, D, D + 34, F, F}, "......."},
        {25, 5, {F, F, D, D, D + 35, F, F}, "..000.."},
        {30, 5, {F, F, D + 39, D, D + 39, F, F}, "......."},
        {30, 5, {F, F, D, D, D + 40, F, F}, "..000.."},
        {10, 5, {F, F, 500, 500, 500, F, F}, "..000.."},
        {10, 5, {F, F, 501, 501, 501, F, F}, "......."},
        // A cleared neighbour still counts with its own range.
        {10, 5, {F, F, F, D, D + 100, D + 200, F, F}, "..0000.."},
    };
    for (const auto& [hz, level, scan, expected] : cases) {
        auto filtered = scan;
        applyTailFilter(filtered, level, hz);
        std::string cleared;
        for (size_t i = 0; i < filtered.size(); ++i)
            cleared += filtered[i] == scan[i] ? '.' : '0';
        EXPECT_EQ(cleared, expected) << hz << " Hz, level " << level << ", " << scan[3];
    }
}

// With an open driver to a simulator that plays `burst` at every stream-on.
struct BurstSim {
    explicit BurstSim(const std::vector<Bytes>& burst, uint32_t level = 0)
        : size(burst.size()), sim(kes_test::startSimulator([&](kes_sim::SimOptions& o) {
              auto replay = std::make_shared<kes_sim::Replay>();
              for (const Bytes& d : burst)
                  replay->stream.push_back({{}, d});
              o.replay = replay;
              o.filter_level = level;
          }))
    {
        openQuietly(driver);
    }
    // The burst is dispatched once it has come in and one more answer after it.
    void deliver()
    {
        const uint64_t seen = driver.linkStats().datagrams;
        ASSERT_EQ(driver.enableDataStream(), kSuccess);
        ASSERT_TRUE(kes_test::waitUntil([&] { return driver.linkStats().datagrams >= seen + 1 + size; }));
        uint32_t rpm = 0;
        ASSERT_EQ(driver.getMotorSpeed(rpm), kSuccess);
    }
    const size_t size;
    std::unique_ptr<kes_sim::LidarSimulator> sim;
    KesDriver driver{LidarAddress(inet_addr("127.0.0.1"), htons(sim->port()))};
};

TEST(Transport, OpenPrintsItsEndpointsAndSendsLeaveInOrderAndOnlyAcceptedDatagramsArrive)
{
    asio::io_context io;
    asio::ip::udp::socket peer(io, loopback()), stranger(io, loopback());
    std::mutex mutex;
    std::vector<Bytes> arrived;
    Network net(LidarAddress(inet_addr("127.0.0.1"), htons(peer.local_endpoint().port())));
    net.setCallback([&](Bytes d) {
        std::lock_guard<std::mutex> lock(mutex);
        arrived.push_back(std::move(d));
    });
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "local_ep is bind!\nlocal_ep.address is 0.0.0.0\nlocal_ep.port is " + std::to_string(net.localPort())
                  + "\nsensor_address_.address is 127.0.0.1\nsensor_address_.port is "
                  + std::to_string(peer.local_endpoint().port()) + "\n");
    EXPECT_GT(net.receiveBufferSize(), 0);
    // Sends queue up behind the one in flight and leave in call order.
    for (uint16_t code = 0x0201; code < 0x0201 + 50; ++code)
        net.send(buildRequest(code));
    Bytes request(64);
    for (uint16_t code = 0x0201; code < 0x0201 + 50; ++code) {
        peer.receive(asio::buffer(request));
        EXPECT_EQ(codeOf(request), code);
    }

    // From any sender, only datagrams that pass the acceptance test reach the callback.
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
    // clang-format off
    const std::vector<CommandResult> results = {
        driver.trackConnect(), driver.setLidarIPAddress(inet_addr("192.168.1.57")), driver.setScanFrequency(25),
        driver.setFilterLevel(3), driver.setScanDirection(1), driver.enableDataStream(), driver.disableDataStream(),
        driver.applyConfigs(), driver.writeCommandU16(cmd::kWrite0102, 0x0A0B),
        driver.writeCommand(cmd::kWrite0107, 9), driver.getScanDirection(dir), driver.getApdTemperature(t),
        driver.getLidarIPAddress(ip), driver.getHardwareVersion(hw), driver.getFirmwareVersion(fw),
        driver.getScanFrequency(hz), driver.getFilterLevel(level), driver.readCommand(cmd::kRead0202, u16),
        driver.readCommand(cmd::kRead0207, u32), driver.getMotorSpeed(rpm), driver.deviceReboot()};
    EXPECT_EQ(results, std::vector<CommandResult>(results.size(), kSuccess));
    EXPECT_EQ(std::vector<uint32_t>({dir, ip, hz, level, u16, u32}),
              std::vector<uint32_t>({1, uint32_t(inet_addr("192.168.1.57")), 25, 3, 0x0A0B, 9}));
    EXPECT_NEAR(t, 40.0f, 3.0f);
    EXPECT_EQ(hw, std::string("H2.1").append(12, '\0'));
    EXPECT_EQ(fw.substr(0, 6), "A1.0.7");
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

// Closed, foreign-addressed (never opened) or with a zero time-out, a driver sends nothing and
// answers 2 at once. A refusal returns 1 and leaves the output alone. Answers come 100 ms late:
// one for another command, or one that belonged to an earlier request, never satisfies a
// request; concurrent callers take turns, each with its own answer.
TEST(DriverExchange, NoExchangeWithoutAnOpenDriverFailuresForeignAndStaleAnswersAndCallersTakeTurns)
{
    struct OtherAddress : SocketAddress {};
    KesDriver foreign{OtherAddress{}};
    EXPECT_EQ(foreign.open(), kSocketError);
    EXPECT_FALSE(foreign.isOpen());
    EXPECT_EQ(foreign.trackConnect(), kNoAnswer);

    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) {
        o.delay_ms = 100;
        o.refused = {cmd::kSetScanFrequency, cmd::kGetFilterLevel};
    });
    KesDriver driver(LidarAddress(inet_addr("127.0.0.1"), htons(sim->port())));
    uint32_t value = 1234;
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

    driver.setTimeout(3000);
    EXPECT_EQ(driver.setScanFrequency(20), kDeviceFailure);
    EXPECT_EQ(driver.getFilterLevel(value), kDeviceFailure);
    EXPECT_EQ(value, 1234u);
    EXPECT_EQ(sim->snapshot().requests.size(), 2u);

    driver.setTimeout(50);
    const auto start = Clock::now();
    EXPECT_EQ(driver.getMotorSpeed(value), kNoAnswer);
    EXPECT_GE(Clock::now() - start, 50ms);
    driver.setTimeout(300);
    EXPECT_EQ(driver.getScanFrequency(value), kSuccess);
    EXPECT_EQ(value, 10u);
    driver.setTimeout(50);
    EXPECT_EQ(driver.getMotorSpeed(value), kNoAnswer);
    std::this_thread::sleep_for(100ms); // let the late answer land first
    EXPECT_EQ(driver.getMotorSpeed(value), kNoAnswer);
    EXPECT_EQ(value, 10u);

    driver.setTimeout(3000);
    std::atomic<int> wrong{0};
    const auto caller = [&](uint16_t code, uint32_t expected) {
        for (int i = 0; i < 3; ++i) {
            uint32_t got = 0xFFFF;
            wrong += driver.readCommand(code, got) != kSuccess || got != expected;
        }
    };
    const auto turns = Clock::now();
    std::thread other(caller, cmd::kGetScanFrequency, 10);
    caller(cmd::kGetScanDirection, 0);
    other.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(Clock::now() - turns, 6 * 100ms);
}

// Closing empties the queue, so a reopened driver starts clean.
TEST(DriverScan, QueueKeepsTheNewestThirtyTwoUntilClosed)
{
    std::vector<Bytes> burst;
    for (uint32_t ts = 0; ts < 40; ++ts)
        burst.push_back(scanDatagram(8, 1, ts, 126));
    BurstSim link(burst);
    link.deliver();
    link.driver.close();
    openQuietly(link.driver);
    link.driver.setTimeout(100);
    ScanPacketData packet;
    EXPECT_EQ(link.driver.readScanPacket(packet), kNoAnswer);
    link.deliver();
    for (uint32_t ts = 8; ts < 40; ++ts) {
        ASSERT_EQ(link.driver.readScanPacket(packet), kSuccess);
        EXPECT_EQ(packet.time_stamp, ts);
    }
    EXPECT_EQ(link.driver.readScanPacket(packet), kNoAnswer);
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
    BurstSim link(burst);
    link.deliver();
    const std::tuple<uint32_t, size_t, uint16_t> scans[] = {{100, 192, 3000}, {2, 378, 4000}};
    for (const auto& [stamp, points, range] : scans) {
        FullScanBlock scan;
        ASSERT_EQ(link.driver.grabFullScanBlock(scan), kSuccess);
        EXPECT_EQ(scan.time_stamp, stamp);
        ASSERT_EQ(scan.layers.size(), 1u);
        const ScanLayer& layer = scan.layers[0];
        ASSERT_EQ(layer.ranges.size(), 6 * points);
        ASSERT_EQ(layer.intensities.size(), 6 * points);
        for (size_t i = 0; i < layer.ranges.size(); ++i) {
            const size_t k = i / points + 1;
            ASSERT_EQ(layer.ranges[i], range + k) << i;
            ASSERT_EQ(layer.intensities[i], 10 * k) << i;
        }
    }
    link.driver.setTimeout(50);
    ScanPacketData rest;
    EXPECT_EQ(link.driver.readScanPacket(rest), kSuccess) << "the datagram after the last six stays queued";
    EXPECT_EQ(rest.block_id, 7);
}

// Read once from the device, then kept by the driver's own settings: a step of 20 among 1002s
// is a tail at level 5 and 10 Hz, and a surface at 15 Hz, where the jump allowed is 30.
TEST(DriverScan, FilterParametersAreReadOnceAndFollowTheSettings)
{
    std::vector<Bytes> burst;
    for (uint8_t b = 1; b <= 6; ++b)
        burst.push_back(scanDatagram(4, b, 1, 378));
    burst[1][20 + 3 * 100 + 1] += 20;
    BurstSim link(burst, 5);
    const auto stepAfterGrab = [&] {
        link.deliver();
        FullScanBlock scan;
        EXPECT_EQ(link.driver.grabFullScanBlock(scan), kSuccess);
        const auto& r = scan.layers.at(0).ranges;
        return std::vector<uint16_t>(r.begin() + 378 + 97, r.begin() + 378 + 104);
    };
    const std::vector<uint16_t> removed = {1002, 0, 0, 0, 0, 0, 1002};
    const std::vector<uint16_t> kept = {1002, 1002, 1002, 1022, 1002, 1002, 1002};
    EXPECT_EQ(stepAfterGrab(), removed);
    ASSERT_EQ(link.driver.setFilterLevel(0), kSuccess);
    EXPECT_EQ(stepAfterGrab(), kept);
    ASSERT_EQ(link.driver.setFilterLevel(5), kSuccess);
    ASSERT_EQ(link.driver.setScanFrequency(15), kSuccess);
    EXPECT_EQ(stepAfterGrab(), kept);
    ASSERT_EQ(link.driver.setScanFrequency(10), kSuccess);
    EXPECT_EQ(stepAfterGrab(), removed);
    auto requests = link.sim->snapshot().request_counts;
    EXPECT_EQ(requests[cmd::kGetFilterLevel] + requests[cmd::kGetScanFrequency], 2u);
}

// Junk after the stream is turned on: a few datagrams once, or datagrams of a foreign index,
// without points, or short of one index, over and over.
TEST(DriverScan, AStreamThatNeverCompletesARevolutionEndsTheCallWithinTwiceTheTimeout)
{
    const std::pair<std::vector<uint8_t>, bool> streams[] = {
        {{1, 2}, false}, {{7}, true}, {{0}, true}, {{1, 2, 3, 4, 5}, true}};
    for (const auto& [blocks, loop] : streams) {
        auto replay = std::make_shared<kes_sim::Replay>();
        for (uint8_t b : blocks)
            replay->stream.push_back({{}, scanDatagram(6, b, 1, 192)});
        replay->loop_gap = 1ms;
        const auto sim = kes_test::startSimulator([&](kes_sim::SimOptions& o) {
            o.replay = replay;
            o.loop = loop;
        });
        KesDriver driver(LidarAddress(inet_addr("127.0.0.1"), htons(sim->port())));
        openQuietly(driver);
        ASSERT_EQ(driver.enableDataStream(), kSuccess);
        driver.setTimeout(200);
        const auto start = Clock::now();
        FullScanBlock scan;
        EXPECT_EQ(driver.grabFullScanBlock(scan), kNoAnswer) << blocks.size();
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kes_test::scaled(1500))) << blocks.size();
    }
}
