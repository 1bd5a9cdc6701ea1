#include "loopback_host.h"

#include <arpa/inet.h>

#include <map>

namespace kes_sim_test {
namespace {

TEST(SimulatorCommands, AnswersEveryCodeWithItsSizeCodeAndCrc)
{
    auto sim = startSimulator();
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
    std::map<uint16_t, Bytes> answers;
    for (const auto& [code, payload] : requests) {
        const Bytes answer = answers[code] = host.request(code, payload);
        ASSERT_EQ(answer.size(), kes_sdk::responseSizeFor(code)) << code;
        EXPECT_EQ(kes_sdk::readU16(answer.data()), answer.size()) << code;
        EXPECT_EQ(kes_sdk::readU32(answer.data() + 2), 0u) << code;
        EXPECT_TRUE(kes_sdk::acceptDatagram(answer)) << code;
        EXPECT_EQ(statusOf(answer), 0u) << code;
    }
    // The writes show on the reads after them.
    const auto valueOf = [&](uint16_t code) { return Bytes(answers[code].begin() + 12, answers[code].end() - 4); };
    EXPECT_EQ(valueOf(cmd::kGetIpAddress), (Bytes{100, 1, 168, 192}));
    EXPECT_EQ(valueOf(cmd::kRead0202), kes_sdk::payloadU16(7));
    EXPECT_EQ(valueOf(cmd::kGetScanFrequency), payloadU32(20));
    EXPECT_EQ(valueOf(cmd::kGetFilterLevel), payloadU32(2));
    EXPECT_EQ(valueOf(cmd::kRead0207), payloadU32(9));
    EXPECT_EQ(valueOf(cmd::kGetScanDirection), payloadU32(1));
    EXPECT_EQ(valueOf(cmd::kGetHardwareVersion), (Bytes{'H', '2', '.', '1', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(state.request_counts.size(), requests.size());
    EXPECT_EQ(state.requests[2].code, cmd::kSetScanFrequency);
    EXPECT_EQ(state.requests[2].payload, payloadU32(20));
}

// Bad values, refused codes and unknown writes fail with status 1 and change nothing; an
// unknown class gives 2; an unknown read still answers in full.
TEST(SimulatorCommands, FailsBadValuesRefusedAndUnknownCodes)
{
    kes_sim::SimOptions options;
    options.refused = {cmd::kSetFilterLevel, cmd::kGetScanDirection};
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    const std::pair<uint16_t, uint32_t> failing[] = {{cmd::kSetScanFrequency, 12},
                                                     {cmd::kSetScanDirection, 2},
                                                     {cmd::kTrackConnect, 1},
                                                     {cmd::kSetFilterLevel, 2}};
    for (const auto& [code, value] : failing)
        EXPECT_EQ(statusOf(host.request(code, payloadU32(value))), 1u) << code;
    const Bytes refusedRead = host.request(cmd::kGetScanDirection);
    EXPECT_EQ(refusedRead.size(), 20u);
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
