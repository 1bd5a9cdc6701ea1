#pragma once

#include "kes_sdk/kes_driver.h"
#include "kes_sdk/net.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace kes_sdk {

// Sorts incoming datagrams into the response slot or the scan queue, where callers wait.
class KesDriver::Impl {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kScanQueueLimit = 32;

    ~Impl();

    CommandResult open(const SocketAddress& address);
    void close();
    bool isOpen() const;
    void setTimeout(uint32_t milliseconds);
    uint32_t timeout() const { return timeout_ms_; }

    CommandResult sendCommand(const std::vector<uint8_t>& request, std::vector<uint8_t>& value);
    // Waits one time-out for a datagram, but never past `limit`.
    CommandResult waitScanPacket(std::vector<uint8_t>& datagram, Clock::time_point limit);
    void onPacket(std::vector<uint8_t> datagram);

    // Both are handed to every transport this opens; the tap must be set before open.
    void setTap(DatagramTap tap) { tap_ = std::move(tap); }
    LinkCounters& counters() { return counters_; }

private:
    void onResponse(std::vector<uint8_t> datagram);
    void onScanData(std::vector<uint8_t> datagram);

    std::atomic<uint32_t> timeout_ms_{3000};
    std::unique_ptr<Net> transport_;
    std::atomic<uint16_t> awaited_code_{0};
    std::mutex request_lock_;
    std::optional<std::vector<uint8_t>> response_slot_;
    std::mutex response_mutex_;
    std::condition_variable response_cv_;
    std::deque<std::vector<uint8_t>> scan_queue_;
    std::mutex scan_mutex_;
    std::condition_variable scan_cv_;
    DatagramTap tap_;
    LinkCounters counters_;
};

} // namespace kes_sdk
