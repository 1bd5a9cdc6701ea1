#pragma once

#include "datagram_sender.h"
#include "device_state.h"
#include "kes_sim/scene.h"
#include "kes_sim/sim_options.h"
#include "streamer.h"

#include <array>
#include <random>

namespace kes_sim {

// Turns the motor: runs revolutions on a steady schedule and, while the stream is on, sends
// each revolution's six blocks spread evenly over it.
class ScanStreamer : public Streamer {
public:
    ScanStreamer(DeviceState& state, DatagramSender& sender, const SimOptions& options);
    ~ScanStreamer() override;

private:
    using Order = std::array<uint8_t, 6>;

    void run() override;
    bool sendRevolution(const RevolutionPlan& plan, Clock::time_point begin, Clock::duration period);
    Order blockOrder();

    DeviceState& state_;
    DatagramSender& sender_;
    Scene scene_;
    const bool reorder_;
    const RevolutionSentHook hook_;
    std::mt19937 rng_;
    double scene_time_ = 0;
    std::vector<ScanPoint> points_;
    std::array<Bytes, 6> datagrams_;
};

} // namespace kes_sim
