#include "kes_pcap/udp_frame.h"

#include <kes_sdk/byte_order.h>

#include <algorithm>

namespace kes_pcap {
namespace {

using kes_sdk::readU16;
using kes_sdk::readU32;

constexpr uint16_t kEtherIpv4 = 0x0800;
constexpr uint16_t kEtherVlan = 0x8100;
constexpr uint16_t kEtherQinQ = 0x88A8;
constexpr uint8_t kProtocolUdp = 17;
constexpr size_t kIpHeader = 20;
constexpr size_t kUdpHeader = 8;
constexpr size_t kMaxPayload = 65535 - kIpHeader - kUdpHeader;

// Where the IPv4 header starts, or none when the link layer carries something else.
std::optional<size_t> ipOffset(int link_type, const uint8_t* f, size_t size)
{
    switch (link_type) {
    case link::kRaw:
    case link::kIpv4: return size_t(0);
    case link::kNull:
    case link::kLoop: {
        if (size < 4)
            return std::nullopt;
        // AF_INET is 2 everywhere; DLT_NULL writes it in the capturing host's byte order.
        const uint32_t big = readU32(f);
        const uint32_t little = kes_sdk::readU32LittleEndian(f);
        const bool inet = big == 2 || (link_type == link::kNull && little == 2);
        return inet ? std::optional<size_t>(4) : std::nullopt;
    }
    case link::kEthernet: {
        size_t at = 12;
        while (at + 2 <= size && (readU16(f + at) == kEtherVlan || readU16(f + at) == kEtherQinQ))
            at += 4;
        if (at + 2 > size || readU16(f + at) != kEtherIpv4)
            return std::nullopt;
        return at + 2;
    }
    case link::kLinuxSll:
        return size >= 16 && readU16(f + 14) == kEtherIpv4 ? std::optional<size_t>(16) : std::nullopt;
    case link::kLinuxSll2: return size >= 20 && readU16(f) == kEtherIpv4 ? std::optional<size_t>(20) : std::nullopt;
    default: return std::nullopt;
    }
}

// The ones' complement sum of 16-bit words, for both checksums.
uint32_t sumWords(const uint8_t* p, size_t size, uint32_t sum = 0)
{
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += uint32_t(p[i] << 8 | p[i + 1]);
    if (size % 2)
        sum += uint32_t(p[size - 1] << 8);
    return sum;
}

uint16_t fold(uint32_t sum)
{
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

} // namespace

std::optional<UdpView> parseFrame(int link_type, const uint8_t* frame, size_t size)
{
    const std::optional<size_t> at = ipOffset(link_type, frame, size);
    if (!at || *at + kIpHeader > size)
        return std::nullopt;
    const uint8_t* ip = frame + *at;
    const size_t available = size - *at;
    const size_t header = size_t(ip[0] & 0x0F) * 4;
    const size_t total = readU16(ip + 2);
    const bool fragment = (readU16(ip + 6) & 0x3FFF) != 0; // more fragments, or an offset
    if (ip[0] >> 4 != 4 || header < kIpHeader || ip[9] != kProtocolUdp || fragment || total > available
        || total < header + kUdpHeader)
        return std::nullopt;
    const uint8_t* udp = ip + header;
    const size_t length = readU16(udp + 4);
    if (length < kUdpHeader || header + length > total)
        return std::nullopt;
    UdpView view;
    view.from = {readU32(ip + 12), readU16(udp)};
    view.to = {readU32(ip + 16), readU16(udp + 2)};
    view.payload = udp + kUdpHeader;
    view.size = length - kUdpHeader;
    return view;
}

std::vector<uint8_t> buildFrame(UdpEndpoint from, UdpEndpoint to, const uint8_t* payload, size_t size)
{
    size = std::min(size, kMaxPayload);
    std::vector<uint8_t> f;
    f.reserve(kIpHeader + kUdpHeader + size);
    f.push_back(0x45); // version 4, five words of header
    f.push_back(0);
    kes_sdk::appendU16(f, uint16_t(kIpHeader + kUdpHeader + size));
    kes_sdk::appendU16(f, 0);      // identification
    kes_sdk::appendU16(f, 0x4000); // don't fragment
    f.push_back(64);               // time to live
    f.push_back(kProtocolUdp);
    kes_sdk::appendU16(f, 0); // checksum, below
    kes_sdk::appendU32(f, from.ip);
    kes_sdk::appendU32(f, to.ip);
    const uint16_t ipSum = fold(sumWords(f.data(), kIpHeader));
    f[10] = uint8_t(ipSum >> 8);
    f[11] = uint8_t(ipSum);

    kes_sdk::appendU16(f, from.port);
    kes_sdk::appendU16(f, to.port);
    kes_sdk::appendU16(f, uint16_t(kUdpHeader + size));
    kes_sdk::appendU16(f, 0);
    f.insert(f.end(), payload, payload + size);
    // The pseudo-header: both addresses, the protocol and the UDP length.
    uint32_t sum = sumWords(f.data() + 12, 8);
    sum += kProtocolUdp + uint32_t(kUdpHeader + size);
    uint16_t udpSum = fold(sumWords(f.data() + kIpHeader, kUdpHeader + size, sum));
    if (udpSum == 0)
        udpSum = 0xFFFF; // 0 would mean "no checksum"
    f[kIpHeader + 6] = uint8_t(udpSum >> 8);
    f[kIpHeader + 7] = uint8_t(udpSum);
    return f;
}

} // namespace kes_pcap
