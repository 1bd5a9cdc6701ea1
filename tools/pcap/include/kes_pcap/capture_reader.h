#pragma once

#include "kes_pcap/udp_frame.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kes_pcap {

struct CapturedDatagram {
    int64_t time_us = 0; // since the epoch, as the capturing host stamped it
    UdpEndpoint from;
    UdpEndpoint to;
    std::vector<uint8_t> payload;
};

struct Capture {
    std::vector<CapturedDatagram> datagrams; // in file order
    uint64_t frames = 0;                     // every frame of the file
    bool truncated = false;                  // the file ended inside a frame; what came before is kept
};

// The IPv4/UDP datagrams of a pcap or pcapng file of any link type libpcap reads and
// parseFrame knows; frames of other protocols are counted and skipped. False, with `error`
// set, when the file cannot be opened or is no capture at all.
[[nodiscard]] bool readCapture(const std::string& path, Capture& out, std::string& error);

} // namespace kes_pcap
