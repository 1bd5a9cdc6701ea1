#include "replay_streamer.h"

#include <algorithm>

namespace kes_sim {
namespace {

// How soon a change of the stream's target is noticed while waiting for the next datagram.
constexpr auto kPoll = std::chrono::milliseconds(20);

} // namespace

ReplayStreamer::ReplayStreamer(DeviceState& state, DatagramSender& sender, std::shared_ptr<const Replay> replay,
                               bool loop)
    : state_(state), sender_(sender), replay_(std::move(replay)), loop_(loop)
{
}

ReplayStreamer::~ReplayStreamer()
{
    stop();
}

void ReplayStreamer::run()
{
    const std::vector<ReplayDatagram>& stream = replay_->stream;
    uint64_t playing = 0; // the stream-on request being played
    size_t next = 0;
    Clock::time_point origin;
    for (;;) {
        const Clock::time_point now = Clock::now();
        const auto [target, starts] = state_.stream();
        if (target && starts != playing) {
            playing = starts;
            next = 0;
            origin = now;
        }
        if (target && next == stream.size() && loop_ && !stream.empty()) {
            origin += stream.back().at + replay_->loop_gap;
            next = 0;
        }
        const bool due = target && next < stream.size() && origin + stream[next].at <= now;
        if (!due) {
            const Clock::time_point wake =
                target && next < stream.size() ? std::min(origin + stream[next].at, now + kPoll) : now + kPoll;
            if (!sleepUntil(wake))
                return;
            continue;
        }
        if (state_.streamsTo(*target, now))
            sender_.send(*target, stream[next].bytes);
        ++next;
    }
}

} // namespace kes_sim
