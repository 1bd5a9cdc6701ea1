#include "loopback_host.h"

#include <arpa/inet.h>

namespace kes_sim_test {
namespace {

// Applying makes the stored address the active one and answers at once; a reboot silences
// the device (and its stream) for the restart time and restarts it at the stored address.
TEST(SimulatorSilence, ApplyConfigsStoresTheAddressAndRebootRestartsWithIt)
{
    kes_sim::SimOptions options;
    options.restart_ms = 250;
    auto sim = startSimulator(options);
    LoopbackHost host(sim->port());
    host.request(cmd::kSetScanFrequency, payloadU32(30));
    const Bytes ip = kes_sdk::payloadIPv4(inet_addr("192.168.1.70"));
    ASSERT_EQ(statusOf(host.request(cmd::kSetIpAddress, ip)), 0u);
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    ASSERT_EQ(statusOf(host.request(cmd::kApplyConfigs, payloadU32(0))), 0u);
    EXPECT_EQ(host.request(cmd::kGetScanFrequency, {}, Ms(100)).size(), 20u);
    EXPECT_FALSE(host.nextScan().empty());
    EXPECT_EQ(sim->snapshot().active_ip_address, "192.168.1.70");
    EXPECT_EQ(sim->snapshot().restarts, 0u);

    const Bytes later = kes_sdk::payloadIPv4(inet_addr("192.168.1.71"));
    ASSERT_EQ(statusOf(host.request(cmd::kSetIpAddress, later)), 0u);
    const auto restarted = Clock::now();
    ASSERT_EQ(statusOf(host.request(cmd::kDeviceReboot, payloadU32(0))), 0u);
    EXPECT_TRUE(host.request(cmd::kGetScanFrequency, {}, Ms(100)).empty());
    EXPECT_TRUE(host.streamStopped(Ms(100)));
    Bytes answer;
    while (answer.empty() && Clock::now() - restarted < Ms(kes_test::scaled(1500)))
        answer = host.request(cmd::kGetIpAddress, {}, Ms(20));
    EXPECT_GE(Clock::now() - restarted, Ms(250));
    ASSERT_EQ(answer.size(), 20u);
    EXPECT_EQ(Bytes(answer.begin() + 12, answer.begin() + 16), later);
    const kes_sim::DeviceSnapshot state = sim->snapshot();
    EXPECT_EQ(state.active_ip_address, "192.168.1.71");
    EXPECT_EQ(state.restarts, 1u);
    EXPECT_FALSE(state.stream_on);
    EXPECT_GT(state.ignored_while_silent, 0u);
}

TEST(SimulatorSilence, SilentAfterStopsAnswersAndStreamAndFullLossDropsEverything)
{
    kes_sim::SimOptions options;
    options.silent_after_s = 0.3;
    auto sim = startSimulator(options);
    const auto started = Clock::now();
    LoopbackHost host(sim->port());
    ASSERT_EQ(statusOf(host.request(cmd::kDataStream, payloadU32(1))), 0u);
    ASSERT_FALSE(host.nextScan().empty());
    while (!host.request(cmd::kGetScanFrequency, {}, Ms(50)).empty())
        ASSERT_LT(Clock::now() - started, Ms(kes_test::scaled(1500)));
    EXPECT_GE(Clock::now() - started, Ms(250));
    EXPECT_TRUE(host.streamStopped(Ms(150)));
    EXPECT_TRUE(sim->snapshot().stream_on);

    options = {};
    options.loss = 1.0;
    auto lossy = startSimulator(options);
    LoopbackHost other(lossy->port());
    EXPECT_TRUE(other.request(cmd::kDataStream, payloadU32(1), Ms(100)).empty());
    EXPECT_TRUE(other.nextScan(Ms(250)).empty());
    EXPECT_TRUE(lossy->snapshot().stream_on);
    EXPECT_EQ(lossy->snapshot().request_counts.at(cmd::kDataStream), 1u);
}

} // namespace
} // namespace kes_sim_test
