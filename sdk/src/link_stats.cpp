#include "kes_sdk/link_stats.h"

#include <algorithm>

namespace kes_sdk {

using std::chrono::microseconds;
using std::chrono::nanoseconds;
using std::chrono::steady_clock;

void LinkCounters::countScan(steady_clock::time_point at)
{
    scans_.fetch_add(1, std::memory_order_relaxed);
    last_scan_ns_.store(at.time_since_epoch().count(), std::memory_order_relaxed);
}

void LinkCounters::countAnswer(microseconds latency)
{
    const uint64_t n = answered_.load(std::memory_order_relaxed);
    latency_us_[n % latency_us_.size()].store(latency.count(), std::memory_order_relaxed);
    answered_.store(n + 1, std::memory_order_release);
}

LinkStats LinkCounters::snapshot() const
{
    LinkStats s;
    s.answered = answered_.load(std::memory_order_acquire);
    s.datagrams = datagrams_.load(std::memory_order_relaxed);
    s.rejected = rejected_.load(std::memory_order_relaxed);
    s.dropped = dropped_.load(std::memory_order_relaxed);
    s.scans = scans_.load(std::memory_order_relaxed);
    s.incomplete = incomplete_.load(std::memory_order_relaxed);
    s.timed_out = timed_out_.load(std::memory_order_relaxed);
    s.last_scan = steady_clock::time_point(nanoseconds(last_scan_ns_.load(std::memory_order_relaxed)));
    const uint64_t kept = std::min<uint64_t>(s.answered, LinkStats::kLatencyWindow);
    for (uint64_t i = s.answered - kept; i < s.answered; ++i)
        s.latencies.emplace_back(latency_us_[i % latency_us_.size()].load(std::memory_order_relaxed));
    return s;
}

int RevolutionTally::add(uint8_t block_id)
{
    constexpr uint8_t kWhole = (1u << kBlocks) - 1;
    if (block_id < 1 || block_id > kBlocks)
        return 0;
    const uint8_t bit = uint8_t(1u << (block_id - 1));
    int incomplete = 0;
    // An index seen again: the revolution it belonged to ended without its block 6.
    if (seen_ & bit) {
        ++incomplete;
        seen_ = 0;
    }
    seen_ |= bit;
    if (block_id == kBlocks) {
        incomplete += seen_ != kWhole;
        seen_ = 0;
    }
    return incomplete;
}

} // namespace kes_sdk
