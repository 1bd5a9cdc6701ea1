#include "device_state.h"

#include "kes_sdk/byte_order.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/wire_format.h"

#include <arpa/inet.h>

#include <cmath>
#include <cstring>

namespace kes_sim {
namespace cmd = kes_sdk::cmd;

namespace {

constexpr size_t kLogLimit = 4096;

bool validFrequency(uint32_t hz)
{
    return hz >= 10 && hz <= 30 && hz % 5 == 0;
}

std::optional<Clock::time_point> unplugTime(std::optional<double> silentAfter, Clock::time_point started)
{
    if (!silentAfter)
        return std::nullopt;
    return started + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(*silentAfter));
}

std::string dotted(const std::array<uint8_t, 4>& ip)
{
    return std::to_string(ip[0]) + '.' + std::to_string(ip[1]) + '.' + std::to_string(ip[2]) + '.'
           + std::to_string(ip[3]);
}

std::array<uint8_t, 4> octetsOf(const std::string& dotted)
{
    const in_addr_t inet = inet_addr(dotted.c_str());
    std::array<uint8_t, 4> octets;
    std::memcpy(octets.data(), &inet, octets.size());
    return octets;
}

} // namespace

DeviceState::DeviceState(const SimOptions& options)
    : firmware_(options.firmware),
      hardware_(options.hardware),
      refused_(options.refused),
      silent_after_s_(options.silent_after_s),
      restart_time_(std::chrono::milliseconds(options.restart_ms)),
      ip_(octetsOf(options.device_ip)),
      active_ip_(ip_),
      hz_(options.frequency_hz),
      active_hz_(options.frequency_hz),
      filter_level_(options.filter_level),
      direction_(options.direction),
      rng_(options.seed)
{
}

void DeviceState::powerOn(Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = now;
    unplugged_at_ = unplugTime(silent_after_s_, now);
}

Reply DeviceState::handle(uint16_t code, const uint8_t* payload, size_t payloadSize, const udp::endpoint& from,
                          Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    record(code, payload, payloadSize);
    Reply reply;
    if (refused_.count(code)) {
        reply.status = kStatusFailed;
    } else if (kes_sdk::isReadCommand(code)) {
        const std::optional<Bytes> value = read(code, now);
        reply.status = value ? kStatusOk : kStatusUnknownCode;
        reply.datagram = encodeResponse(code, reply.status, value.value_or(Bytes{}));
        return reply;
    } else if (kes_sdk::isWriteCommand(code) && payloadSize == 4) {
        reply.status = write(code, kes_sdk::readU32(payload), from, now);
    } else {
        reply.status = kes_sdk::isWriteCommand(code) ? kStatusFailed : kStatusUnknownCode;
    }
    reply.datagram = encodeResponse(code, reply.status);
    return reply;
}

void DeviceState::record(uint16_t code, const uint8_t* payload, size_t payloadSize)
{
    ++counts_[code];
    if (log_.size() == kLogLimit)
        log_.pop_front();
    log_.push_back({code, Bytes(payload, payload + payloadSize)});
}

uint32_t DeviceState::write(uint16_t code, uint32_t value, const udp::endpoint& from, Clock::time_point now)
{
    const auto accept = [](bool ok) { return ok ? kStatusOk : kStatusFailed; };
    switch (code) {
    case cmd::kSetIpAddress:
        // The octets arrive last one first.
        ip_ = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
        return kStatusOk;
    case cmd::kWrite0102: value0102_ = uint16_t(value >> 16); return kStatusOk;
    case cmd::kSetScanFrequency:
        if (validFrequency(value))
            hz_ = value;
        return accept(validFrequency(value));
    case cmd::kSetFilterLevel:
        if (value <= 5)
            filter_level_ = value;
        return accept(value <= 5);
    case cmd::kWrite0107: value0107_ = value; return kStatusOk;
    case cmd::kTrackConnect: return accept(value == cmd::kHandshakeMagic);
    case cmd::kWrite0109:
        if (value <= 1)
            value0109_ = value;
        return accept(value <= 1);
    case cmd::kDataStream:
        if (value == 1) {
            stream_target_ = from;
            ++stream_starts_;
        } else if (value == 0)
            stream_target_.reset();
        return accept(value <= 1);
    case cmd::kApplyConfigs: active_ip_ = ip_; return kStatusOk;
    case cmd::kDeviceReboot: restart(now); return kStatusOk;
    case cmd::kSetScanDirection:
        if (value <= 1)
            direction_ = value;
        return accept(value <= 1);
    default: return kStatusUnknownCode;
    }
}

std::optional<Bytes> DeviceState::read(uint16_t code, Clock::time_point now)
{
    switch (code) {
    case cmd::kGetIpAddress: return Bytes{ip_[3], ip_[2], ip_[1], ip_[0]};
    case cmd::kRead0202: return kes_sdk::payloadU16(value0102_);
    case cmd::kGetScanFrequency: return kes_sdk::payloadU32(hz_);
    case cmd::kGetFilterLevel: return kes_sdk::payloadU32(filter_level_);
    case cmd::kRead0207: return kes_sdk::payloadU32(value0107_);
    case cmd::kGetMotorSpeed: {
        std::uniform_int_distribution<int> jitter(-3, 3);
        return kes_sdk::payloadU32(uint32_t(int(active_hz_ * 60) + jitter(rng_)));
    }
    case cmd::kGetApdTemperature: {
        const double t = std::chrono::duration<double>(now - started_).count();
        std::uniform_real_distribution<double> jitter(-0.05, 0.05);
        return valueFloatLittleEndian(float(40.0 + 1.5 * std::sin(t / 20.0) + jitter(rng_)));
    }
    case cmd::kRead020C: return kes_sdk::payloadU32(value020C_);
    case cmd::kGetHardwareVersion: return valueText(hardware_);
    case cmd::kGetFirmwareVersion: return valueText(firmware_);
    case cmd::kGetScanDirection: return kes_sdk::payloadU32(direction_);
    default: return std::nullopt;
    }
}

void DeviceState::restart(Clock::time_point now)
{
    stream_target_.reset();
    quiet_until_ = now + restart_time_;
    active_ip_ = ip_;
    ++restarts_;
}

bool DeviceState::silentLocked(Clock::time_point now) const
{
    return now < quiet_until_ || (unplugged_at_ && now >= *unplugged_at_);
}

bool DeviceState::silent(Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return silentLocked(now);
}

RevolutionPlan DeviceState::beginRevolution()
{
    std::lock_guard<std::mutex> lock(mutex_);
    active_hz_ = hz_;
    return {hz_, direction_ == 1, ++time_stamp_, stream_target_};
}

bool DeviceState::streamsTo(const udp::endpoint& target, Clock::time_point now) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stream_target_ == target && !silentLocked(now);
}

std::pair<std::optional<udp::endpoint>, uint64_t> DeviceState::stream() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return {stream_target_, stream_starts_};
}

void DeviceState::noteMalformed()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++malformed_;
}

void DeviceState::noteIgnored()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++ignored_;
}

DeviceSnapshot DeviceState::snapshot() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    DeviceSnapshot s;
    s.ip_address = dotted(ip_);
    s.active_ip_address = dotted(active_ip_);
    s.scan_frequency_hz = hz_;
    s.active_frequency_hz = active_hz_;
    s.filter_level = filter_level_;
    s.scan_direction = direction_;
    s.stream_on = stream_target_.has_value();
    s.restarts = restarts_;
    s.time_stamp = time_stamp_;
    s.value0102 = value0102_;
    s.value0107 = value0107_;
    s.value0109 = value0109_;
    s.value020C = value020C_;
    s.request_counts = counts_;
    s.requests.assign(log_.begin(), log_.end());
    s.malformed_requests = malformed_;
    s.ignored_while_silent = ignored_;
    return s;
}

} // namespace kes_sim
