#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kes_sdk {

// One datagram as it crossed the driver's socket, with the host's clock.
struct TappedDatagram {
    bool sent = false;    // host to lidar
    bool accepted = true; // a received one passed the acceptance test
    uint32_t peer_ip = 0; // host order: the sender of a received one, the lidar for a sent one
    uint16_t peer_port = 0;
    uint16_t local_port = 0;
    std::chrono::system_clock::time_point time;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Set before open; called on the transport's I/O thread for every datagram received and sent.
// It must not block: the same thread receives the scan stream.
using DatagramTap = std::function<void(const TappedDatagram&)>;

// What one open driver has seen: cumulative since open, read at any time from any thread.
struct LinkStats {
    static constexpr size_t kLatencyWindow = 64;

    uint64_t datagrams = 0;  // received on the socket, accepted or not
    uint64_t rejected = 0;   // failed the acceptance test
    uint64_t dropped = 0;    // scan datagrams pushed out of the full queue
    uint64_t scans = 0;      // full scans assembled
    uint64_t incomplete = 0; // revolutions the assembly got only part of
    uint64_t answered = 0;   // exchanges that got their answer
    uint64_t timed_out = 0;  // exchanges that did not
    // Answer latency of the last answered exchanges (at most kLatencyWindow), oldest first;
    // the first belongs to exchange number answered - size + 1.
    std::vector<std::chrono::microseconds> latencies;
    std::chrono::steady_clock::time_point last_scan{}; // epoch while none
};

// The counters behind LinkStats. Each is written by one thread with relaxed increments, so
// counting costs the stream nothing measurable.
class LinkCounters {
public:
    void countDatagram(bool accepted)
    {
        datagrams_.fetch_add(1, std::memory_order_relaxed);
        if (!accepted)
            rejected_.fetch_add(1, std::memory_order_relaxed);
    }
    void countDrop() { dropped_.fetch_add(1, std::memory_order_relaxed); }
    void countScan(std::chrono::steady_clock::time_point at);
    void countIncomplete() { incomplete_.fetch_add(1, std::memory_order_relaxed); }
    // Exchanges run one at a time (the request lock), so there is one writer.
    void countAnswer(std::chrono::microseconds latency);
    void countTimeout() { timed_out_.fetch_add(1, std::memory_order_relaxed); }

    LinkStats snapshot() const;

private:
    std::atomic<uint64_t> datagrams_{0};
    std::atomic<uint64_t> rejected_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> scans_{0};
    std::atomic<uint64_t> incomplete_{0};
    std::atomic<uint64_t> answered_{0};
    std::atomic<uint64_t> timed_out_{0};
    std::atomic<int64_t> last_scan_ns_{0};
    // One slot more than reported: the writer's next slot is never read.
    std::array<std::atomic<int64_t>, LinkStats::kLatencyWindow + 1> latency_us_{};
};

// Tells, datagram by datagram, whether each revolution of a stream sent in order 1 to 6
// arrived whole: a revolution ends at its block 6, or early when an index comes again.
class RevolutionTally {
public:
    // How many revolutions that lacked some of their blocks this datagram closed (0 to 2).
    [[nodiscard]] int add(uint8_t block_id);

private:
    static constexpr int kBlocks = 6;
    uint8_t seen_ = 0; // bit k: block k+1
};

} // namespace kes_sdk
