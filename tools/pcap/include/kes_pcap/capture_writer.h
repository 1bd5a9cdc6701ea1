#pragma once

#include <kes_sdk/link_stats.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

typedef struct pcap pcap_t;
typedef struct pcap_dumper pcap_dumper_t;

namespace kes_pcap {

// Writes the datagrams of a tap into a pcap file as raw IPv4/UDP frames with microsecond
// time stamps, so tcpdump and Wireshark show them as the UDP traffic they were.
class CaptureWriter {
public:
    // Creates or replaces `path`; none, with `error` set, when it cannot.
    static std::unique_ptr<CaptureWriter> create(const std::string& path, std::string& error);
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Safe from any thread; after close() it writes nothing.
    void write(const kes_sdk::TappedDatagram& datagram);
    // Flushes and closes; false, with `error` set, when not every frame reached the file.
    [[nodiscard]] bool close(std::string& error);
    uint64_t frames() const;

private:
    CaptureWriter(pcap_t* dead, pcap_dumper_t* dumper, std::string path);
    // The address this host sends from towards `peer`, as the kernel would pick it.
    uint32_t localAddressFor(uint32_t peer);

    mutable std::mutex mutex_;
    pcap_t* dead_;
    pcap_dumper_t* dumper_;
    const std::string path_;
    uint64_t frames_ = 0;
    std::map<uint32_t, uint32_t> local_ip_;
};

} // namespace kes_pcap
