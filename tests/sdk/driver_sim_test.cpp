// The driver against the bundled simulator over loopback.
#include "kes_sdk/kes_driver.h"
#include "kes_sim/lidar_simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <set>

using namespace kes_sdk;

namespace {

struct SimulatedLink {
    explicit SimulatedLink(kes_sim::SimOptions options = {})
        : sim([&] {
              options.port = 0;
              return options;
          }()),
          driver(LidarAddress(inet_addr("127.0.0.1"), htons(startedPort())))
    {
        testing::internal::CaptureStdout();
        open = driver.open();
        testing::internal::GetCapturedStdout();
    }

    uint16_t startedPort()
    {
        const auto started = sim.start();
        EXPECT_TRUE(started.ok()) << started.message;
        return sim.port();
    }

    kes_sim::LidarSimulator sim;
    KesDriver driver;
    CommandResult open = -1;
};

} // namespace

TEST(DriverWithSimulator, StreamsFullScansAtEveryFrequency)
{
    SimulatedLink s;
    ASSERT_EQ(s.open, kSuccess);
    KesDriver& d = s.driver;
    ASSERT_EQ(d.enableDataStream(), kSuccess);
    const std::pair<uint32_t, size_t> rates[] = {{10, 2268}, {30, 756}, {20, 1152}};
    for (const auto& [hz, points] : rates) {
        ASSERT_EQ(d.setScanFrequency(hz), kSuccess);
        FullScanBlock scan;
        // The scan in flight may still be at the old rate.
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        ASSERT_EQ(scan.layers.at(0).ranges.size(), points) << hz << " Hz";
        const uint32_t first = scan.time_stamp;
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        EXPECT_EQ(scan.time_stamp, first + 1);
    }
    ASSERT_EQ(d.disableDataStream(), kSuccess);
}

TEST(DriverWithSimulator, ReorderedAndLossyStreamsStillAssemble)
{
    kes_sim::SimOptions options;
    options.reorder = true;
    options.loss = 0.05;
    SimulatedLink s(options);
    ASSERT_EQ(s.open, kSuccess);
    KesDriver& d = s.driver;
    // Requests can be lost too: retry like a person would.
    auto retry = [](auto op) {
        for (int i = 0; i < 20; ++i)
            if (op() == kSuccess)
                return true;
        return false;
    };
    d.setTimeout(200);
    ASSERT_TRUE(retry([&] { return d.setScanFrequency(30); }));
    ASSERT_TRUE(retry([&] { return d.enableDataStream(); }));
    d.setTimeout(2000);
    std::set<uint32_t> stamps;
    for (int i = 0; i < 10; ++i) {
        FullScanBlock scan;
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        EXPECT_EQ(scan.layers.at(0).ranges.size(), 756u);
        stamps.insert(scan.time_stamp);
    }
    EXPECT_GE(stamps.size(), 5u);
}
