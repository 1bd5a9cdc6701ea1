#include "kes_sim/replay.h"

#include "device_wire.h"

#include <kes_sdk/byte_order.h>
#include <kes_sdk/command_codes.h>
#include <kes_sdk/wire_format.h>

#include <algorithm>
#include <cstring>

namespace kes_sim {
namespace {

using kes_pcap::CapturedDatagram;
using kes_pcap::UdpEndpoint;
namespace cmd = kes_sdk::cmd;

bool isRequest(const CapturedDatagram& d)
{
    return requestDefect(d.payload.data(), d.payload.size()).empty();
}

bool isScan(const CapturedDatagram& d)
{
    return d.payload.size() >= sizeof kes_sdk::kScanMagic
           && std::memcmp(d.payload.data(), kes_sdk::kScanMagic, sizeof kes_sdk::kScanMagic) == 0;
}

bool isAnswer(const CapturedDatagram& d)
{
    return d.payload.size() >= kes_sdk::kMinDatagramSize && d.payload[2] == kes_sdk::kClassCommand;
}

std::optional<UdpEndpoint> findDevice(const std::vector<CapturedDatagram>& datagrams)
{
    for (const CapturedDatagram& d : datagrams)
        if (isRequest(d))
            return d.to;
    for (const CapturedDatagram& d : datagrams)
        if (isScan(d))
            return d.from;
    return std::nullopt;
}

std::string dotted(uint32_t ip)
{
    return std::to_string(ip >> 24) + '.' + std::to_string(ip >> 16 & 0xFF) + '.' + std::to_string(ip >> 8 & 0xFF)
           + '.' + std::to_string(ip & 0xFF);
}

// The first successful answer to each read gives the state the stream started from.
void seedFrom(const CapturedDatagram& d, Replay& replay)
{
    const uint16_t code = kes_sdk::responseCode(d.payload);
    kes_sdk::Bytes value;
    if (!kes_sdk::acceptDatagram(d.payload) || kes_sdk::parseResponse(d.payload, code, value) != kes_sdk::kSuccess)
        return;
    const auto first = [](auto& field, auto v) {
        if (!field)
            field = v;
    };
    switch (code) {
    case cmd::kGetFirmwareVersion: first(replay.firmware, std::string(value.begin(), value.end())); break;
    case cmd::kGetHardwareVersion: first(replay.hardware, std::string(value.begin(), value.end())); break;
    // The address travels with its octets reversed.
    case cmd::kGetIpAddress: first(replay.device_ip, dotted(__builtin_bswap32(kes_sdk::valueAsU32(value)))); break;
    case cmd::kGetScanFrequency: first(replay.frequency_hz, kes_sdk::valueAsU32(value)); break;
    case cmd::kGetFilterLevel: first(replay.filter_level, kes_sdk::valueAsU32(value)); break;
    case cmd::kGetScanDirection: first(replay.direction, kes_sdk::valueAsU32(value)); break;
    default: break;
    }
}

bool isStreamOn(const CapturedDatagram& d, const UdpEndpoint& device)
{
    return d.to == device && isRequest(d) && kes_sdk::readU16(d.payload.data() + 4) == cmd::kDataStream
           && d.payload.size() == kes_sdk::kRequestHeaderSize + 4 + kes_sdk::kCrcSize
           && kes_sdk::readU32(d.payload.data() + kes_sdk::kRequestHeaderSize) == 1;
}

std::chrono::microseconds medianGap(const std::vector<ReplayDatagram>& stream)
{
    if (stream.size() < 2)
        return std::chrono::milliseconds(100);
    std::vector<std::chrono::microseconds> gaps;
    for (size_t i = 1; i < stream.size(); ++i)
        gaps.push_back(stream[i].at - stream[i - 1].at);
    std::nth_element(gaps.begin(), gaps.begin() + long(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

} // namespace

std::optional<Replay> makeReplay(const std::vector<CapturedDatagram>& datagrams, std::string& error)
{
    const std::optional<UdpEndpoint> device = findDevice(datagrams);
    if (!device) {
        error = "the capture holds no lidar traffic: no requests to a lidar, no scan datagrams";
        return std::nullopt;
    }
    Replay replay;
    std::optional<int64_t> start;
    for (const CapturedDatagram& d : datagrams) {
        if (!start && isStreamOn(d, *device))
            start = d.time_us;
        if (d.from != *device)
            continue;
        if (isAnswer(d)) {
            seedFrom(d, replay);
            continue;
        }
        if (!start)
            start = d.time_us;
        // Never earlier than the datagram before it, whatever the capturing clock did.
        const std::chrono::microseconds at(std::max<int64_t>(d.time_us - *start, 0));
        replay.stream.push_back({replay.stream.empty() ? at : std::max(at, replay.stream.back().at), d.payload});
    }
    replay.loop_gap = medianGap(replay.stream);
    // Without an answer that names it, the address the device was reached at.
    if (!replay.device_ip)
        replay.device_ip = dotted(device->ip);
    return replay;
}

void seedOptions(const Replay& replay, SimOptions& options)
{
    options.firmware = replay.firmware.value_or(options.firmware);
    options.hardware = replay.hardware.value_or(options.hardware);
    options.device_ip = replay.device_ip.value_or(options.device_ip);
    options.frequency_hz = replay.frequency_hz.value_or(options.frequency_hz);
    options.filter_level = replay.filter_level.value_or(options.filter_level);
    options.direction = replay.direction.value_or(options.direction);
}

} // namespace kes_sim
