// Arbitrary frames of a capture file through the IPv4/UDP decoder, and what it finds into a
// replay: input is a link type selector, then frames each led by a two-byte length.
#include "kes_pcap/udp_frame.h"
#include "kes_sim/replay.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kLinkTypes[] = {kes_pcap::link::kNull,      kes_pcap::link::kEthernet,
                              kes_pcap::link::kRaw,       kes_pcap::link::kLoop,
                              kes_pcap::link::kLinuxSll,  kes_pcap::link::kIpv4,
                              kes_pcap::link::kLinuxSll2, 147 /* a link type nobody decodes */};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int link_type = kLinkTypes[data[0] % (sizeof kLinkTypes / sizeof kLinkTypes[0])];
    std::vector<kes_pcap::CapturedDatagram> datagrams;
    for (size_t at = 1; at + 2 <= size;) {
        const size_t length = std::min<size_t>(size_t(data[at] << 8 | data[at + 1]), size - at - 2);
        // An exact-size copy so any read past the frame is caught.
        const std::vector<uint8_t> frame(data + at + 2, data + at + 2 + length);
        at += 2 + length;
        const auto udp = kes_pcap::parseFrame(link_type, frame.data(), frame.size());
        if (!udp)
            continue;
        if (udp->payload < frame.data() || udp->payload + udp->size > frame.data() + frame.size())
            std::abort();
        // What the writer builds from a datagram decodes to the same datagram.
        const std::vector<uint8_t> built = kes_pcap::buildFrame(udp->from, udp->to, udp->payload, udp->size);
        const auto again = kes_pcap::parseFrame(kes_pcap::link::kRaw, built.data(), built.size());
        if (!again || again->from != udp->from || again->to != udp->to || again->size != udp->size
            || std::memcmp(again->payload, udp->payload, udp->size) != 0)
            std::abort();
        kes_pcap::CapturedDatagram d;
        d.time_us = int64_t(datagrams.size()) * 1000 - (frame.size() % 3) * 700; // clocks may step back
        d.from = udp->from;
        d.to = udp->to;
        d.payload.assign(udp->payload, udp->payload + udp->size);
        datagrams.push_back(std::move(d));
    }
    std::string error;
    if (const auto replay = kes_sim::makeReplay(datagrams, error)) {
        for (size_t i = 1; i < replay->stream.size(); ++i)
            if (replay->stream[i].at < replay->stream[i - 1].at)
                std::abort();
        kes_sim::SimOptions options;
        kes_sim::seedOptions(*replay, options);
    }
    return 0;
}
