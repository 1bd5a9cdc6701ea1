#pragma once

#include "kes_sim/sim_options.h"

#include <kes_pcap/capture_reader.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kes_sim {

struct ReplayDatagram {
    std::chrono::microseconds at{0}; // after the stream was turned on
    std::vector<uint8_t> bytes;
};

// A captured link as a device to play: what the device streamed, and what its answers said.
struct Replay {
    std::vector<ReplayDatagram> stream; // every datagram of the device that is not an answer
    std::chrono::microseconds loop_gap{100000};
    // Unset where the capture holds no successful answer to the read.
    std::optional<std::string> firmware; // the 16 bytes as answered
    std::optional<std::string> hardware;
    std::optional<std::string> device_ip; // dotted; else where the capture reached it
    std::optional<uint32_t> frequency_hz;
    std::optional<uint32_t> filter_level;
    std::optional<uint32_t> direction;
};

// The device is where the host's requests went or, in a capture without any, where scan
// datagrams came from. Time runs from the host's first stream-on request, or from the first
// streamed datagram when that came earlier. None, with `error` set, when no device is found.
std::optional<Replay> makeReplay(const std::vector<kes_pcap::CapturedDatagram>& datagrams, std::string& error);

// The power-on registers and versions the replay's answers gave.
void seedOptions(const Replay& replay, SimOptions& options);

} // namespace kes_sim
