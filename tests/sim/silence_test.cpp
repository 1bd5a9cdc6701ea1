#include "loopback_host.h"

#include "kes_sdk/command_codes.h"

#include <arpa/inet.h>

namespace kes_sim_test {
namespace {

namespace cmd = kes_sdk::cmd;
using kes_sdk::payloadU32;

// Asks until the device answers again; how long that took, or `limit` if it never did.
Clock::duration untilAnswered(LoopbackHost& host, Clock::duration limit)
{
    const auto begun = Clock::now();
    while (Clock::now() - begun < limit)
        if (!host.request(cmd::kGetIpAddress, {}, Ms(20)).empty())
            return Clock::now() - begun;
    return limit;
}

TEST(SimulatorSilence, ApplyConfigsStoresTheAddressAndRebootRestartsWithIt)
{
    kes_sim::SimOptions options;
    options.restart_ms = 250;
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    host.request(cmd::kSetScanFrequency, payloadU32(30));
    const std::string ip = "192.168.1.70";
    ASSERT_EQ(statusOf(host.request(cmd::kSetIpAddress, kes_sdk::payloadIPv4(inet_addr(ip.c_str())))), 0u);
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    ASSERT_FALSE(host.nextScan().empty());

    // Applying is immediate: the host goes on talking to the device right after it.
    ASSERT_EQ(statusOf(host.request(cmd::kApplyConfigs, payloadU32(0))), 0u);
    EXPECT_EQ(host.request(cmd::kGetScanFrequency, {}, Ms(100)).size(), 20u);
    EXPECT_FALSE(host.nextScan().empty());
    EXPECT_EQ(sim->snapshot().active_ip_address, ip);
    EXPECT_EQ(sim->snapshot().restarts, 0u);

    const auto restarted = Clock::now();
    ASSERT_EQ(statusOf(host.request(cmd::kDeviceReboot, payloadU32(0))), 0u);
    EXPECT_TRUE(host.request(cmd::kGetScanFrequency, {}, Ms(100)).empty());
    // Drain what was in flight; the silent device sends no more.
    while (!host.nextScan(Ms(5)).empty()) {
    }
    EXPECT_TRUE(host.nextScan(Ms(100)).empty());
    EXPECT_LT(untilAnswered(host, Ms(1500)), Ms(1500));
    EXPECT_GE(Clock::now() - restarted, Ms(250));

    const Bytes answer = host.request(cmd::kGetIpAddress);
    ASSERT_EQ(answer.size(), 20u);
    EXPECT_EQ(kes_sdk::readU32(answer.data() + 12),
              kes_sdk::readU32(kes_sdk::payloadIPv4(inet_addr(ip.c_str())).data()));
    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(state.active_ip_address, ip);
    EXPECT_EQ(state.restarts, 1u);
    EXPECT_FALSE(state.stream_on);
    EXPECT_GT(state.ignored_while_silent, 0u);
}

TEST(SimulatorSilence, SilentAfterStopsAnswersAndStream)
{
    kes_sim::SimOptions options;
    options.silent_after_s = 0.3;
    auto sim = startSimulator(options);
    const auto started = Clock::now();
    LoopbackHost host(sim->port());
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    ASSERT_FALSE(host.nextScan().empty());
    while (!host.request(cmd::kGetScanFrequency, {}, Ms(50)).empty())
        ASSERT_LT(Clock::now() - started, Ms(1500));
    EXPECT_GE(Clock::now() - started, Ms(250));
    while (!host.nextScan(Ms(5)).empty()) {
    }
    EXPECT_TRUE(host.nextScan(Ms(150)).empty());
    EXPECT_TRUE(sim->snapshot().stream_on);
}

TEST(SimulatorSilence, FullLossDropsEveryOutgoingDatagram)
{
    kes_sim::SimOptions options;
    options.loss = 1.0;
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    EXPECT_TRUE(host.request(cmd::kDataStream, payloadU32(1), Ms(100)).empty());
    EXPECT_TRUE(host.nextScan(Ms(250)).empty());
    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_TRUE(state.stream_on);
    EXPECT_EQ(state.request_counts.at(cmd::kDataStream), 1u);
}

} // namespace
} // namespace kes_sim_test
