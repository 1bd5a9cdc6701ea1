#include "loopback_host.h"

#include "kes_sdk/command_codes.h"
#include "kes_sdk/kes_driver.h"

#include <arpa/inet.h>

#include <cstring>

namespace kes_sim_test {
namespace {

namespace cmd = kes_sdk::cmd;
using kes_sdk::payloadU32;

std::unique_ptr<kes_sdk::KesDriver> openDriver(uint16_t port)
{
    auto driver = std::make_unique<kes_sdk::KesDriver>(kes_sdk::LidarAddress(inet_addr("127.0.0.1"), htons(port)));
    EXPECT_EQ(driver->open(), kes_sdk::kSuccess);
    driver->setTimeout(500);
    return driver;
}

TEST(SimulatorCommands, AnswersEveryCodeWithItsSizeCodeAndCrc)
{
    auto sim = startSimulator({});
    LoopbackHost host(sim->port());
    // clang-format off
    const std::vector<std::pair<uint16_t, Bytes>> requests = {
        {cmd::kSetIpAddress, kes_sdk::payloadIPv4(inet_addr("192.168.1.100"))},
        {cmd::kWrite0102, kes_sdk::payloadU16(7)}, {cmd::kSetScanFrequency, payloadU32(20)},
        {cmd::kSetFilterLevel, payloadU32(2)}, {cmd::kWrite0107, payloadU32(9)},
        {cmd::kTrackConnect, payloadU32(cmd::kHandshakeMagic)}, {cmd::kWrite0109, payloadU32(1)},
        {cmd::kDataStream, payloadU32(0)}, {cmd::kSetScanDirection, payloadU32(1)},
        {cmd::kGetIpAddress, {}}, {cmd::kRead0202, {}}, {cmd::kGetScanFrequency, {}}, {cmd::kGetFilterLevel, {}},
        {cmd::kRead0207, {}}, {cmd::kGetMotorSpeed, {}}, {cmd::kGetApdTemperature, {}}, {cmd::kRead020C, {}},
        {cmd::kGetHardwareVersion, {}}, {cmd::kGetFirmwareVersion, {}}, {cmd::kGetScanDirection, {}},
    };
    // clang-format on
    for (const auto& [code, payload] : requests) {
        SCOPED_TRACE(code);
        const Bytes answer = host.request(code, payload);
        ASSERT_EQ(answer.size(), kes_sdk::responseSizeFor(code));
        EXPECT_EQ(kes_sdk::readU16(answer.data()), answer.size());
        EXPECT_EQ(kes_sdk::readU32(answer.data() + 2), 0u);
        EXPECT_TRUE(kes_sdk::acceptDatagram(answer));
        EXPECT_EQ(statusOf(answer), 0u);
    }
    const Bytes ip = host.request(cmd::kGetIpAddress);
    EXPECT_EQ(Bytes(ip.begin(), ip.begin() + 16), (Bytes{0, 20, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 100, 1, 168, 192}));
    EXPECT_EQ(sim->snapshot().request_counts.size(), requests.size());
}

TEST(SimulatorCommands, WritesShowOnLaterReadsThroughTheDriver)
{
    kes_sim::SimOptions options;
    options.firmware = "B2.0.1-rc";
    options.hardware = "H3.0";
    auto sim = startSimulator(options);
    auto driver = openDriver(sim->port());
    uint32_t value = 0;
    EXPECT_EQ(driver->getMotorSpeed(value), kes_sdk::kSuccess);
    EXPECT_NEAR(double(value), 600.0, 3.0);
    EXPECT_EQ(driver->setScanFrequency(20), kes_sdk::kSuccess);
    EXPECT_EQ(driver->getScanFrequency(value), kes_sdk::kSuccess);
    EXPECT_EQ(value, 20u);
    EXPECT_EQ(driver->setFilterLevel(3), kes_sdk::kSuccess);
    EXPECT_EQ(driver->getFilterLevel(value), kes_sdk::kSuccess);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(driver->setScanDirection(1), kes_sdk::kSuccess);
    EXPECT_EQ(driver->getScanDirection(value), kes_sdk::kSuccess);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(driver->setLidarIPAddress(inet_addr("192.168.1.55")), kes_sdk::kSuccess);
    EXPECT_EQ(driver->getLidarIPAddress(value), kes_sdk::kSuccess);
    EXPECT_EQ(value, inet_addr("192.168.1.55"));
    EXPECT_EQ(driver->writeCommandU16(cmd::kWrite0102, 0xBEEF), kes_sdk::kSuccess);
    EXPECT_EQ(driver->readCommand(cmd::kRead0202, value), kes_sdk::kSuccess);
    EXPECT_EQ(value, 0xBEEFu);

    std::string text;
    EXPECT_EQ(driver->getFirmwareVersion(text), kes_sdk::kSuccess);
    EXPECT_EQ(text, std::string("B2.0.1-rc").append(7, '\0'));
    EXPECT_EQ(driver->getHardwareVersion(text), kes_sdk::kSuccess);
    EXPECT_STREQ(text.c_str(), "H3.0");
    float degrees = 0;
    EXPECT_EQ(driver->getApdTemperature(degrees), kes_sdk::kSuccess);
    EXPECT_NEAR(degrees, 40.0f, 2.0f);
    driver->close();

    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(state.ip_address, "192.168.1.55");
    EXPECT_EQ(state.active_ip_address, "192.168.1.100");
    EXPECT_EQ(state.scan_frequency_hz, 20u);
    EXPECT_EQ(state.request_counts.at(cmd::kSetScanFrequency), 1u);
    ASSERT_GE(state.requests.size(), 2u);
    EXPECT_EQ(state.requests[1].code, cmd::kSetScanFrequency);
    EXPECT_EQ(state.requests[1].payload, payloadU32(20));
}

TEST(SimulatorCommands, FailsBadValuesRefusedAndUnknownCodes)
{
    kes_sim::SimOptions options;
    options.refused = {cmd::kSetFilterLevel, cmd::kGetScanDirection};
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    EXPECT_EQ(statusOf(host.request(cmd::kSetScanFrequency, payloadU32(12))), 1u);
    EXPECT_EQ(statusOf(host.request(cmd::kSetScanDirection, payloadU32(2))), 1u);
    EXPECT_EQ(statusOf(host.request(cmd::kTrackConnect, payloadU32(1))), 1u);
    EXPECT_EQ(statusOf(host.request(cmd::kSetFilterLevel, payloadU32(2))), 1u);
    const Bytes refusedRead = host.request(cmd::kGetScanDirection);
    ASSERT_EQ(refusedRead.size(), 20u);
    EXPECT_EQ(statusOf(refusedRead), 1u);
    EXPECT_EQ(statusOf(host.request(0x0301)), 2u);
    EXPECT_EQ(host.request(0x02FF).size(), 20u);

    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(state.scan_frequency_hz, 10u);
    EXPECT_EQ(state.scan_direction, 0u);
    EXPECT_EQ(state.filter_level, 1u);
}

TEST(SimulatorCommands, DropsMalformedRequestsAndAnswersLateWhenAsked)
{
    kes_sim::SimOptions options;
    options.delay_ms = 60;
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    Bytes badCrc = kes_sdk::buildRequest(cmd::kGetScanFrequency);
    badCrc.back() ^= 1;
    Bytes badLength = kes_sdk::buildRequest(cmd::kGetScanFrequency);
    badLength[1] = 16;
    for (const Bytes& d : {badCrc, badLength, Bytes{0, 5, 0, 2, 5}})
        host.send(d);
    EXPECT_TRUE(host.receive(0, Clock::now() + Ms(150)).empty());

    const auto sent = Clock::now();
    EXPECT_FALSE(host.request(cmd::kGetScanFrequency).empty());
    EXPECT_GE(Clock::now() - sent, Ms(60));
    EXPECT_EQ(sim->snapshot().malformed_requests, 3u);
}

} // namespace
} // namespace kes_sim_test
