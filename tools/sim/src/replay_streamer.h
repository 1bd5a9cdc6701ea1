#pragma once

#include "datagram_sender.h"
#include "device_state.h"
#include "kes_sim/replay.h"
#include "streamer.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace kes_sim {

// Plays a capture's stream at its recorded pace to whoever turns the stream on: each
// stream-on request starts it from the beginning; at the end it falls silent, or starts over
// when looping.
class ReplayStreamer : public Streamer {
public:
    ReplayStreamer(DeviceState& state, DatagramSender& sender, std::shared_ptr<const Replay> replay, bool loop);
    ~ReplayStreamer() override;

    void start() override;
    void stop() override;

private:
    void run();
    // False once stopping.
    bool sleepUntil(Clock::time_point deadline);

    DeviceState& state_;
    DatagramSender& sender_;
    const std::shared_ptr<const Replay> replay_;
    const bool loop_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
};

} // namespace kes_sim
