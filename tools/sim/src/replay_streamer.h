#pragma once

#include "datagram_sender.h"
#include "device_state.h"
#include "kes_sim/replay.h"
#include "streamer.h"

#include <memory>

namespace kes_sim {

// Plays a capture's stream at its recorded pace to whoever turns the stream on: each
// stream-on request starts it from the beginning; at the end it falls silent, or starts over
// when looping.
class ReplayStreamer : public Streamer {
public:
    ReplayStreamer(DeviceState& state, DatagramSender& sender, std::shared_ptr<const Replay> replay, bool loop);
    ~ReplayStreamer() override;

private:
    void run() override;

    DeviceState& state_;
    DatagramSender& sender_;
    const std::shared_ptr<const Replay> replay_;
    const bool loop_;
};

} // namespace kes_sim
