#include "fake_peer.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/kes_driver.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kes_sdk;
using namespace std::chrono_literals;

namespace {

using Endpoint = FakePeer::Endpoint;

// Answers every read with `code` as its value, every write with success.
void echoCode(FakePeer& peer, const Bytes& request, const Endpoint& from)
{
    const uint16_t code = FakePeer::codeOf(request);
    peer.send(FakePeer::response(code, 0, isReadCommand(code) ? FakePeer::u32Value(code) : Bytes{}), from);
}

} // namespace

TEST(DriverExchange, ZeroTimeoutReturnsAtOnceWithoutSending)
{
    FakePeer peer(echoCode);
    KesDriver driver(peer.address());
    openQuietly(driver);
    driver.setTimeout(0);
    uint32_t value = 0;
    EXPECT_EQ(driver.trackConnect(), kNoAnswer);
    EXPECT_EQ(driver.getScanFrequency(value), kNoAnswer);
    ScanPacketData packet;
    EXPECT_EQ(driver.readScanPacket(packet), kNoAnswer);
    driver.setTimeout(500);
    ASSERT_EQ(driver.getMotorSpeed(value), kSuccess);
    EXPECT_EQ(value, cmd::kGetMotorSpeed);
    ASSERT_EQ(peer.received().size(), 1u);
}

TEST(DriverExchange, ClosedOrForeignAddressedDriverCannotTalk)
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
    EXPECT_TRUE(driver.isOpen());
    driver.close();
    EXPECT_FALSE(driver.isOpen());
    openQuietly(driver);
    EXPECT_EQ(driver.trackConnect(), kSuccess);
}

TEST(DriverExchange, EachOperationSendsItsCodeAndPayload)
{
    FakePeer peer(echoCode);
    KesDriver driver(peer.address());
    openQuietly(driver);
    uint32_t u = 0;
    EXPECT_EQ(driver.trackConnect(), kSuccess);
    EXPECT_EQ(driver.setLidarIPAddress(inet_addr("192.168.1.100")), kSuccess);
    EXPECT_EQ(driver.setScanFrequency(25), kSuccess);
    EXPECT_EQ(driver.setFilterLevel(3), kSuccess);
    EXPECT_EQ(driver.setScanDirection(1), kSuccess);
    EXPECT_EQ(driver.enableDataStream(), kSuccess);
    EXPECT_EQ(driver.disableDataStream(), kSuccess);
    EXPECT_EQ(driver.applyConfigs(), kSuccess);
    EXPECT_EQ(driver.deviceReboot(), kSuccess);
    EXPECT_EQ(driver.writeCommandU16(cmd::kWrite0102, 0x0A0B), kSuccess);
    EXPECT_EQ(driver.getScanDirection(u), kSuccess);
    EXPECT_EQ(u, cmd::kGetScanDirection);

    // clang-format off
    const std::vector<std::pair<uint16_t, Bytes>> expected = {
        {0x0108, {0x12, 0x34, 0x56, 0x78}}, {0x0101, {0x64, 0x01, 0xA8, 0xC0}}, {0x0105, {0, 0, 0, 25}},
        {0x0106, {0, 0, 0, 3}},             {0x0115, {0, 0, 0, 1}},             {0x010A, {0, 0, 0, 1}},
        {0x010A, {0, 0, 0, 0}},             {0x010D, {0, 0, 0, 0}},             {0x010E, {0, 0, 0, 0}},
        {0x0102, {0x0A, 0x0B, 0, 0}},       {0x0212, {}},
    };
    // clang-format on
    const auto got = peer.received();
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(FakePeer::codeOf(got[i].datagram), expected[i].first) << i;
        EXPECT_EQ(Bytes(got[i].datagram.begin() + 8, got[i].datagram.end() - 4), expected[i].second) << i;
    }
}

TEST(DriverExchange, TypedReadsDecodeTheirValues)
{
    FakePeer peer([](FakePeer& p, const Bytes& request, const Endpoint& from) {
        const uint16_t code = FakePeer::codeOf(request);
        Bytes value = FakePeer::u32Value(7);
        if (code == cmd::kGetApdTemperature)
            value = {0x00, 0x00, 0x20, 0x42};
        if (code == cmd::kGetIpAddress)
            value = {0x64, 0x01, 0xA8, 0xC0};
        if (isStringRead(code)) {
            value = Bytes{'H', 'W', '-', '2'};
            value.resize(16, 0);
        }
        p.send(FakePeer::response(code, 0, value), from);
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    float t = 0;
    uint32_t ip = 0;
    std::string hw, sdk;
    ASSERT_EQ(driver.getApdTemperature(t), kSuccess);
    EXPECT_FLOAT_EQ(t, 40.0f);
    ASSERT_EQ(driver.getLidarIPAddress(ip), kSuccess);
    EXPECT_EQ(ip, uint32_t(inet_addr("192.168.1.100")));
    ASSERT_EQ(driver.getHardwareVersion(hw), kSuccess);
    EXPECT_EQ(hw, std::string("HW-2\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    ASSERT_EQ(driver.getSdkVersion(sdk), kSuccess);
    EXPECT_EQ(sdk, "v1.0.5");
}

TEST(DriverExchange, FailureStatusesReturnOneAndLeaveOutputs)
{
    FakePeer peer([](FakePeer& p, const Bytes& request, const Endpoint& from) {
        const uint16_t code = FakePeer::codeOf(request);
        const uint32_t status = code == cmd::kGetFilterLevel ? 9 : isReadCommand(code) ? 1 : 7;
        p.send(FakePeer::response(code, status, isReadCommand(code) ? FakePeer::u32Value(55) : Bytes{}), from);
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    uint32_t value = 1234;
    EXPECT_EQ(driver.setScanFrequency(20), kDeviceFailure);
    EXPECT_EQ(driver.getScanFrequency(value), kDeviceFailure);
    EXPECT_EQ(driver.getFilterLevel(value), kDeviceFailure);
    EXPECT_EQ(value, 1234u);
}

TEST(DriverExchange, AnswerForAnotherCommandIsDroppedAndTheRequestTimesOut)
{
    FakePeer peer([](FakePeer& p, const Bytes&, const Endpoint& from) {
        p.send(FakePeer::response(cmd::kGetFilterLevel, 0, FakePeer::u32Value(3)), from);
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    driver.setTimeout(150);
    uint32_t value = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(driver.getScanFrequency(value), kNoAnswer);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
}

TEST(DriverExchange, StaleAnswerNeverSatisfiesANewRequest)
{
    // The first motor-speed request is answered once, late; nothing after that.
    std::atomic<int> answered{0};
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        if (answered++ > 0)
            return;
        std::this_thread::sleep_for(200ms);
        p.send(FakePeer::response(FakePeer::codeOf(request), 0, FakePeer::u32Value(600)), from);
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    driver.setTimeout(100);
    uint32_t rpm = 0;
    EXPECT_EQ(driver.getMotorSpeed(rpm), kNoAnswer);
    std::this_thread::sleep_for(200ms); // let the late answer land first
    EXPECT_EQ(driver.getMotorSpeed(rpm), kNoAnswer);
    EXPECT_EQ(rpm, 0u);
}

// The peer reads every request as it arrives and answers each 30 ms later from a thread of
// its own, so a second request sent before the first answer would be seen early.
TEST(DriverExchange, ConcurrentCallersEachGetTheirOwnAnswerOneAtATime)
{
    std::mutex m;
    std::vector<FakePeer::Clock::time_point> answeredAt;
    std::vector<std::thread> answering;
    FakePeer peer([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        std::lock_guard<std::mutex> lock(m);
        answering.emplace_back([&, request, from] {
            std::this_thread::sleep_for(30ms);
            {
                std::lock_guard<std::mutex> lock(m);
                answeredAt.push_back(FakePeer::Clock::now());
            }
            echoCode(p, request, from);
        });
    });
    KesDriver driver(peer.address());
    openQuietly(driver);
    int wrongA = 0, wrongB = 0;
    std::thread first([&] {
        for (int i = 0; i < 5; ++i) {
            uint32_t rpm = 0;
            wrongA += driver.getMotorSpeed(rpm) != kSuccess || rpm != cmd::kGetMotorSpeed;
        }
    });
    std::thread second([&] {
        for (int i = 0; i < 5; ++i) {
            uint32_t direction = 0;
            wrongB += driver.getScanDirection(direction) != kSuccess || direction != cmd::kGetScanDirection;
        }
    });
    first.join();
    second.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
    std::lock_guard<std::mutex> lock(m);
    for (std::thread& t : answering)
        t.join();
    const auto got = peer.received();
    ASSERT_EQ(got.size(), 10u);
    for (size_t i = 1; i < got.size(); ++i)
        EXPECT_GE(got[i].at, answeredAt[i - 1]) << "request " << i << " went out before the previous answer";
}
