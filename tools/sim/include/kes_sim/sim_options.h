#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace kes_sim {

struct Replay;

// Called on the streaming thread right after the last of a revolution's six datagrams (block 6
// unless reordered) was put on the wire, with the revolution's time stamp.
using RevolutionSentHook = std::function<void(uint32_t time_stamp)>;

struct SimOptions {
    std::string bind_address = "127.0.0.1";
    uint16_t port = 2007; // 0 picks a free port
    std::string firmware = "A1.0.7";
    std::string hardware = "H2.1";
    std::string device_ip = "192.168.1.100"; // the address the device reports as its own
    double loss = 0.0;                       // fraction of outgoing datagrams dropped
    bool reorder = false;
    uint32_t delay_ms = 0;
    std::set<uint16_t> refused; // answered with failure status 1
    std::optional<double> silent_after_s;
    uint32_t restart_ms = 2000;
    uint32_t seed = 1;
    bool verbose = false;
    bool announce = false; // answer mDNS queries for a _udp._udp service on the port
    double noise_mm = 0.0; // Gaussian range noise (standard deviation) in place of the built-in jitter
    // The registers at power-on.
    uint32_t frequency_hz = 10;
    uint32_t filter_level = 1;
    uint32_t direction = 0;
    std::string replay_file;              // --replay: loaded into `replay` by the program
    std::shared_ptr<const Replay> replay; // streams a capture instead of the room
    bool loop = false;                    // a replay starts over at its end
    RevolutionSentHook on_revolution_sent;
};

} // namespace kes_sim
