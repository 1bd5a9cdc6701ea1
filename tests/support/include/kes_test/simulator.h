#pragma once

#include <kes_sim/lidar_simulator.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kes_test {

// A simulator on a free loopback port, its options first set by `configure`; for programs
// that link the simulator.
inline std::unique_ptr<kes_sim::LidarSimulator>
startSimulator(const std::function<void(kes_sim::SimOptions&)>& configure = {})
{
    kes_sim::SimOptions options;
    if (configure)
        configure(options);
    options.port = 0;
    auto sim = std::make_unique<kes_sim::LidarSimulator>(std::move(options));
    const kes_sim::StartResult started = sim->start();
    EXPECT_TRUE(started.ok()) << started.message;
    return sim;
}

} // namespace kes_test
