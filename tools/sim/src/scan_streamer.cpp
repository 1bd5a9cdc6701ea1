#include "scan_streamer.h"

#include "kes_sdk/wire_format.h"

#include <algorithm>
#include <numeric>

namespace kes_sim {

ScanStreamer::ScanStreamer(DeviceState& state, DatagramSender& sender, const SimOptions& options)
    : state_(state),
      sender_(sender),
      scene_(options.seed, options.noise_mm),
      reorder_(options.reorder),
      hook_(options.on_revolution_sent),
      rng_(options.seed + 1)
{
}

ScanStreamer::~ScanStreamer()
{
    stop();
}

void ScanStreamer::run()
{
    Clock::time_point begin = Clock::now();
    for (;;) {
        const RevolutionPlan plan = state_.beginRevolution();
        const auto period =
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / plan.hz));
        const bool going = plan.target ? sendRevolution(plan, begin, period) : sleepUntil(begin + period);
        if (!going)
            return;
        scene_time_ += 1.0 / plan.hz;
        begin += period;
        // After a stall, start afresh rather than burst out the missed revolutions.
        if (Clock::now() - begin > period)
            begin = Clock::now();
    }
}

bool ScanStreamer::sendRevolution(const RevolutionPlan& plan, Clock::time_point begin, Clock::duration period)
{
    const uint8_t rate = rateCodeForHz(plan.hz);
    const size_t n = kes_sdk::pointsForRateCode(rate);
    scene_.sweep(scene_time_, n, plan.reversed, points_);
    for (uint8_t b = 0; b < 6; ++b)
        datagrams_[b] = encodeScanDatagram(rate, uint8_t(b + 1), plan.time_stamp, points_.data() + b * n, n);
    const Order order = blockOrder();
    bool streaming = true;
    for (size_t k = 0; k < order.size(); ++k) {
        if (!sleepUntil(begin + period * long(k + 1) / 6))
            return false;
        streaming = streaming && state_.streamsTo(*plan.target, Clock::now());
        const bool sent = streaming && sender_.send(*plan.target, datagrams_[order[k] - 1]);
        if (sent && k + 1 == order.size() && hook_)
            hook_(plan.time_stamp);
    }
    return true;
}

ScanStreamer::Order ScanStreamer::blockOrder()
{
    Order order;
    std::iota(order.begin(), order.end(), uint8_t(1));
    if (!reorder_)
        return order;
    std::shuffle(order.begin(), order.end(), rng_);
    if (std::is_sorted(order.begin(), order.end()))
        std::reverse(order.begin(), order.end());
    return order;
}

} // namespace kes_sim
