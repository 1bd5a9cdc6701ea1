#pragma once

#include "device_wire.h"
#include "kes_sim/device_snapshot.h"
#include "kes_sim/sim_options.h"

#include <asio/ip/udp.hpp>

#include <array>
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <random>

namespace kes_sim {

using Clock = std::chrono::steady_clock;
using asio::ip::udp;

struct Reply {
    uint32_t status = kStatusOk;
    Bytes datagram;
};

// What one revolution runs with, fixed at its start.
struct RevolutionPlan {
    uint32_t hz = 10;
    bool reversed = false;
    uint32_t time_stamp = 0;
    std::optional<udp::endpoint> target; // where to stream, if the stream is on
};

// The device's registers and the effect of every command on them; shared by the I/O and
// streaming threads.
class DeviceState {
public:
    explicit DeviceState(const SimOptions& options);

    // Starts the clocks of --silent-after and the temperature drift.
    void powerOn(Clock::time_point now);

    Reply handle(uint16_t code, const uint8_t* payload, size_t payloadSize, const udp::endpoint& from,
                 Clock::time_point now);
    // No answers and no stream: unplugged, or restarting after a reboot.
    bool silent(Clock::time_point now) const;
    RevolutionPlan beginRevolution();
    bool streamsTo(const udp::endpoint& target, Clock::time_point now) const;
    // Where the stream goes, and how many stream-on requests the device has taken so far.
    std::pair<std::optional<udp::endpoint>, uint64_t> stream() const;

    void noteMalformed();
    void noteIgnored();
    DeviceSnapshot snapshot() const;

private:
    using Octets = std::array<uint8_t, 4>;

    void record(uint16_t code, const uint8_t* payload, size_t payloadSize);
    uint32_t write(uint16_t code, uint32_t value, const udp::endpoint& from, Clock::time_point now);
    std::optional<Bytes> read(uint16_t code, Clock::time_point now);
    void restart(Clock::time_point now);
    bool silentLocked(Clock::time_point now) const;

    mutable std::mutex mutex_;
    const std::string firmware_;
    const std::string hardware_;
    const std::set<uint16_t> refused_;
    const std::optional<double> silent_after_s_;
    const Clock::duration restart_time_;
    Clock::time_point started_{};
    std::optional<Clock::time_point> unplugged_at_;
    Octets ip_;
    Octets active_ip_;
    uint32_t hz_;
    uint32_t active_hz_;
    uint32_t filter_level_;
    uint32_t direction_;
    uint16_t value0102_ = 0;
    uint32_t value0107_ = 0;
    uint32_t value0109_ = 0;
    uint32_t value020C_ = 0;
    std::optional<udp::endpoint> stream_target_;
    uint64_t stream_starts_ = 0;
    Clock::time_point quiet_until_{};
    uint32_t restarts_ = 0;
    uint32_t time_stamp_ = 0;
    std::map<uint16_t, uint32_t> counts_;
    std::deque<ReceivedRequest> log_;
    uint32_t malformed_ = 0;
    uint32_t ignored_ = 0;
    std::mt19937 rng_;
};

} // namespace kes_sim
