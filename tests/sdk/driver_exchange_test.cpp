#include "fake_peer.h"

using namespace kes_sdk;
using namespace std::chrono_literals;

namespace {

// Answers every read with its code as the value (temperature 40.0, address 192.168.1.100,
// text "HW-2"), every write with success.
void echoCode(FakePeer& peer, const Bytes& request, const Endpoint& from)
{
    const uint16_t code = codeOf(request);
    Bytes value = isReadCommand(code) ? u32Value(code) : Bytes{};
    if (code == cmd::kGetApdTemperature)
        value = {0x00, 0x00, 0x20, 0x42};
    if (code == cmd::kGetIpAddress)
        value = {0x64, 0x01, 0xA8, 0xC0};
    if (isStringRead(code)) {
        value = Bytes{'H', 'W', '-', '2'};
        value.resize(16, 0);
    }
    peer.send(response(code, 0, value), from);
}

} // namespace

TEST(DriverExchange, EachOperationSendsItsCodeAndPayloadAndDecodesItsAnswer)
{
    FakePeer peer(echoCode);
    KesDriver driver(peer.address());
    openQuietly(driver);
    uint32_t u = 0, ip = 0;
    float t = 0;
    std::string hw, sdk;
    for (CommandResult r :
         {driver.trackConnect(), driver.setLidarIPAddress(inet_addr("192.168.1.100")), driver.setScanFrequency(25),
          driver.setFilterLevel(3), driver.setScanDirection(1), driver.enableDataStream(),
          driver.disableDataStream(), driver.applyConfigs(), driver.deviceReboot(),
          driver.writeCommandU16(cmd::kWrite0102, 0x0A0B), driver.getScanDirection(u), driver.getApdTemperature(t),
          driver.getLidarIPAddress(ip), driver.getHardwareVersion(hw), driver.getSdkVersion(sdk)})
        EXPECT_EQ(r, kSuccess);
    EXPECT_EQ(u, cmd::kGetScanDirection);
    EXPECT_FLOAT_EQ(t, 40.0f);
    EXPECT_EQ(ip, uint32_t(inet_addr("192.168.1.100")));
    EXPECT_EQ(hw, std::string("HW-2").append(12, '\0'));
    EXPECT_EQ(sdk, "v1.0.5");
    // clang-format off
    const std::vector<std::pair<uint16_t, Bytes>> expected = {
        {0x0108, {0x12, 0x34, 0x56, 0x78}}, {0x0101, {0x64, 0x01, 0xA8, 0xC0}}, {0x0105, {0, 0, 0, 25}},
        {0x0106, {0, 0, 0, 3}},             {0x0115, {0, 0, 0, 1}},             {0x010A, {0, 0, 0, 1}},
        {0x010A, {0, 0, 0, 0}},             {0x010D, {0, 0, 0, 0}},             {0x010E, {0, 0, 0, 0}},
        {0x0102, {0x0A, 0x0B, 0, 0}},       {0x0212, {}},                       {0x0209, {}},
        {0x0201, {}},                       {0x020D, {}},
    };
    // clang-format on
    const auto got = peer.received();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(codeOf(got[i].datagram), expected[i].first) << i;
        EXPECT_EQ(Bytes(got[i].datagram.begin() + 8, got[i].datagram.end() - 4), expected[i].second) << i;
    }
}

// Closed, never opened, foreign-addressed or with a zero time-out, a driver sends nothing and
// answers 2 at once; once open it talks.
TEST(DriverExchange, NoExchangeWithoutAnOpenDriverAndATimeout)
{
    struct OtherAddress : SocketAddress {};
    KesDriver foreign{OtherAddress{}};
    EXPECT_EQ(foreign.open(), kSocketError);
    EXPECT_FALSE(foreign.isOpen());
    EXPECT_EQ(foreign.trackConnect(), kNoAnswer);

    FakePeer peer(echoCode);
    KesDriver driver(peer.address());
    EXPECT_EQ(driver.trackConnect(), kNoAnswer);
    openQuietly(driver);
    driver.close();
    EXPECT_FALSE(driver.isOpen());
    EXPECT_EQ(driver.trackConnect(), kNoAnswer);
    openQuietly(driver);
    EXPECT_TRUE(driver.isOpen());
    driver.setTimeout(0);
    uint32_t value = 0;
    ScanPacketData packet;
    EXPECT_EQ(driver.getScanFrequency(value), kNoAnswer);
    EXPECT_EQ(driver.readScanPacket(packet), kNoAnswer);
    driver.setTimeout(500);
    EXPECT_EQ(driver.trackConnect(), kSuccess);
    EXPECT_EQ(peer.received().size(), 1u);
}

// Failures return 1 and leave the output alone; an answer for another command, or one that
// belonged to an earlier request, never satisfies a request: it times out.
TEST(DriverExchange, FailuresForeignAndStaleAnswers)
{
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
    openQuietly(driver);
    uint32_t value = 1234;
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
            echoCode(p, request, from);
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
