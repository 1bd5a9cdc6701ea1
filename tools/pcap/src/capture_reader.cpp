#include "kes_pcap/capture_reader.h"

#include <pcap/pcap.h>

namespace kes_pcap {

bool readCapture(const std::string& path, Capture& out, std::string& error)
{
    char message[PCAP_ERRBUF_SIZE] = {};
    pcap_t* file = pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, message);
    if (!file) {
        error = message;
        return false;
    }
    const int link = pcap_datalink(file);
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int status = 0;
    while ((status = pcap_next_ex(file, &header, &data)) == 1) {
        ++out.frames;
        const std::optional<UdpView> udp = parseFrame(link, data, header->caplen);
        if (!udp)
            continue;
        CapturedDatagram d;
        d.time_us = int64_t(header->ts.tv_sec) * 1000000 + header->ts.tv_usec;
        d.from = udp->from;
        d.to = udp->to;
        d.payload.assign(udp->payload, udp->payload + udp->size);
        out.datagrams.push_back(std::move(d));
    }
    out.truncated = status == PCAP_ERROR;
    pcap_close(file);
    return true;
}

} // namespace kes_pcap
