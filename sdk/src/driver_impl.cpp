#include "driver_impl.h"

#include "kes_sdk/byte_order.h"
#include "kes_sdk/wire_format.h"

#include <algorithm>

namespace kes_sdk {

KesDriver::Impl::~Impl()
{
    close();
}

CommandResult KesDriver::Impl::open(const SocketAddress& address)
{
    std::unique_ptr<Net> transport = createTransport(address);
    transport_.reset();
    if (!transport)
        return kSocketError;
    transport->setCallback([this](std::vector<uint8_t> datagram) { onPacket(std::move(datagram)); });
    transport->setCounters(&counters_);
    if (tap_)
        transport->setTap(tap_);
    transport_ = std::move(transport);
    return transport_->open();
}

// With the I/O thread stopped nothing refills them, so a reopened driver starts clean.
void KesDriver::Impl::close()
{
    if (transport_ && transport_->isOpen())
        transport_->close();
    transport_.reset();
    {
        std::lock_guard<std::mutex> lock(scan_mutex_);
        scan_queue_.clear();
    }
    std::lock_guard<std::mutex> lock(response_mutex_);
    response_slot_.reset();
}

bool KesDriver::Impl::isOpen() const
{
    return transport_ && transport_->isOpen();
}

void KesDriver::Impl::setTimeout(uint32_t milliseconds)
{
    timeout_ms_ = milliseconds;
}

CommandResult KesDriver::Impl::sendCommand(const std::vector<uint8_t>& request, std::vector<uint8_t>& value)
{
    const uint32_t timeout = timeout_ms_;
    if (timeout == 0 || !isOpen() || request.size() < kRequestHeaderSize)
        return kNoAnswer;
    const uint16_t code = readU16(request.data() + 4);

    std::lock_guard<std::mutex> exchange(request_lock_);
    std::unique_lock<std::mutex> lock(response_mutex_);
    awaited_code_ = code;
    // Only an answer that arrives after this request may satisfy it.
    response_slot_.reset();
    const auto sent = Clock::now();
    transport_->send(request);

    const auto deadline = sent + std::chrono::milliseconds(timeout);
    const bool answered = response_cv_.wait_until(lock, deadline, [&] { return response_slot_.has_value(); });
    if (!answered) {
        counters_.countTimeout();
        return kNoAnswer;
    }
    counters_.countAnswer(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - sent));
    return parseResponse(*response_slot_, code, value);
}

void KesDriver::Impl::onPacket(std::vector<uint8_t> datagram)
{
    switch (datagramClass(datagram)) {
    case kClassCommand: onResponse(std::move(datagram)); break;
    case kClassScan: onScanData(std::move(datagram)); break;
    default: break;
    }
}

void KesDriver::Impl::onResponse(std::vector<uint8_t> datagram)
{
    {
        std::lock_guard<std::mutex> lock(response_mutex_);
        const uint16_t awaited = awaited_code_;
        // A response too short for its command carries nothing usable.
        if (responseCode(datagram) != awaited || datagram.size() < responseSizeFor(awaited))
            return;
        response_slot_ = std::move(datagram);
    }
    response_cv_.notify_one();
}

void KesDriver::Impl::onScanData(std::vector<uint8_t> datagram)
{
    if (!scanDatagramComplete(datagram.data(), datagram.size()))
        return;
    {
        std::lock_guard<std::mutex> lock(scan_mutex_);
        if (scan_queue_.size() >= kScanQueueLimit) {
            scan_queue_.pop_front();
            counters_.countDrop();
        }
        scan_queue_.push_back(std::move(datagram));
    }
    // Notified outside the lock so the woken reader does not block on it again.
    scan_cv_.notify_one();
}

CommandResult KesDriver::Impl::waitScanPacket(std::vector<uint8_t>& datagram, Clock::time_point limit)
{
    const uint32_t timeout = timeout_ms_;
    if (timeout == 0)
        return kNoAnswer;
    std::unique_lock<std::mutex> lock(scan_mutex_);
    const auto deadline = std::min(limit, Clock::now() + std::chrono::milliseconds(timeout));
    if (!scan_cv_.wait_until(lock, deadline, [&] { return !scan_queue_.empty(); }))
        return kNoAnswer;
    datagram = std::move(scan_queue_.front());
    scan_queue_.pop_front();
    return kSuccess;
}

} // namespace kes_sdk
