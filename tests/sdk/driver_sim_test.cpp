// The driver against the bundled simulator over loopback.
#include "fake_peer.h"

#include <kes_sim/lidar_simulator.h>

using namespace kes_sdk;

// The scan in flight at a change may still be at the old rate; then revolutions follow one
// another at the new one.
TEST(DriverWithSimulator, StreamsFullScansAtEveryFrequency)
{
    kes_sim::SimOptions options;
    options.port = 0;
    kes_sim::LidarSimulator sim(options);
    ASSERT_TRUE(sim.start().ok());
    KesDriver d(LidarAddress(inet_addr("127.0.0.1"), htons(sim.port())));
    openQuietly(d);
    ASSERT_EQ(d.enableDataStream(), kSuccess);
    const std::pair<uint32_t, size_t> rates[] = {{10, 2268}, {30, 756}, {20, 1152}};
    for (const auto& [hz, points] : rates) {
        ASSERT_EQ(d.setScanFrequency(hz), kSuccess);
        FullScanBlock scan;
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        ASSERT_EQ(scan.layers.at(0).ranges.size(), points) << hz << " Hz";
        const uint32_t first = scan.time_stamp;
        ASSERT_EQ(d.grabFullScanBlock(scan), kSuccess);
        EXPECT_EQ(scan.time_stamp, first + 1);
    }
    ASSERT_EQ(d.disableDataStream(), kSuccess);
}
