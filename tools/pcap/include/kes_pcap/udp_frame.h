#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// IPv4/UDP frames as capture files hold them.
namespace kes_pcap {

// Link types as libpcap reports them for a file (pcap_datalink).
namespace link {
constexpr int kNull = 0;       // BSD loopback: 4-byte family in host order
constexpr int kEthernet = 1;   // with or without 802.1Q tags
constexpr int kRaw = 12;       // the IP header first; what we write
constexpr int kLoop = 108;     // like kNull, family in network order
constexpr int kLinuxSll = 113; // "tcpdump -i any"
constexpr int kIpv4 = 228;
constexpr int kLinuxSll2 = 276;
} // namespace link

struct UdpEndpoint {
    uint32_t ip = 0; // host order
    uint16_t port = 0;

    bool operator==(const UdpEndpoint& o) const { return ip == o.ip && port == o.port; }
    bool operator!=(const UdpEndpoint& o) const { return !(*this == o); }
};

// One UDP datagram found in a frame; the payload points into the frame.
struct UdpView {
    UdpEndpoint from;
    UdpEndpoint to;
    const uint8_t* payload = nullptr;
    size_t size = 0;
};

// The UDP datagram a captured frame carries, or none: other protocols, IPv6, fragments,
// and frames whose headers claim more bytes than were captured.
std::optional<UdpView> parseFrame(int link_type, const uint8_t* frame, size_t size);

// An IPv4 header (checksummed, don't-fragment) and a UDP header (checksummed) before the
// payload, as a raw-IP frame. Payloads longer than IPv4 can carry are cut to 65507 bytes.
std::vector<uint8_t> buildFrame(UdpEndpoint from, UdpEndpoint to, const uint8_t* payload, size_t size);

} // namespace kes_pcap
