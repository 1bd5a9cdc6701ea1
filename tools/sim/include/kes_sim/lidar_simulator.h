#pragma once

#include "kes_sim/device_snapshot.h"
#include "kes_sim/sim_options.h"

#include <memory>
#include <string>
#include <system_error>

namespace kes_sim {

struct [[nodiscard]] StartResult {
    std::error_code error;
    std::string message; // e.g. "cannot bind 127.0.0.1:2007: Address already in use"

    bool ok() const { return !error; }
};

// The device side of the lidar on one UDP socket: answers requests and streams scans.
class LidarSimulator {
public:
    explicit LidarSimulator(SimOptions options);
    ~LidarSimulator();

    LidarSimulator(const LidarSimulator&) = delete;
    LidarSimulator& operator=(const LidarSimulator&) = delete;

    StartResult start();
    // Idempotent; joins the I/O and streaming threads.
    void stop();
    // The bound port once started, 0 before.
    uint16_t port() const;
    DeviceSnapshot snapshot() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kes_sim
