#include "kes_pcap/capture_writer.h"

#include "kes_pcap/udp_frame.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pcap/pcap.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kes_pcap {

std::unique_ptr<CaptureWriter> CaptureWriter::create(const std::string& path, std::string& error)
{
    pcap_t* dead = pcap_open_dead_with_tstamp_precision(DLT_RAW, 65535, PCAP_TSTAMP_PRECISION_MICRO);
    if (!dead) {
        error = "libpcap cannot make a raw-IP capture";
        return nullptr;
    }
    pcap_dumper_t* dumper = pcap_dump_open(dead, path.c_str());
    if (!dumper) {
        error = pcap_geterr(dead);
        pcap_close(dead);
        return nullptr;
    }
    return std::unique_ptr<CaptureWriter>(new CaptureWriter(dead, dumper, path));
}

CaptureWriter::CaptureWriter(pcap_t* dead, pcap_dumper_t* dumper, std::string path)
    : dead_(dead), dumper_(dumper), path_(std::move(path))
{
}

CaptureWriter::~CaptureWriter()
{
    std::string ignored;
    (void)close(ignored);
}

uint32_t CaptureWriter::localAddressFor(uint32_t peer)
{
    const auto known = local_ip_.find(peer);
    if (known != local_ip_.end())
        return known->second;
    // Connecting a UDP socket only asks the routing table; nothing is sent.
    uint32_t local = 0;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(2007);
    to.sin_addr.s_addr = htonl(peer);
    sockaddr_in from{};
    socklen_t size = sizeof from;
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&from), &size) == 0)
        local = ntohl(from.sin_addr.s_addr);
    if (fd >= 0)
        ::close(fd);
    local_ip_[peer] = local;
    return local;
}

void CaptureWriter::write(const kes_sdk::TappedDatagram& d)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!dumper_)
        return;
    const UdpEndpoint host{localAddressFor(d.peer_ip), d.local_port};
    const UdpEndpoint peer{d.peer_ip, d.peer_port};
    const std::vector<uint8_t> frame =
        d.sent ? buildFrame(host, peer, d.data, d.size) : buildFrame(peer, host, d.data, d.size);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(d.time.time_since_epoch()).count();
    pcap_pkthdr header{};
    header.ts.tv_sec = time_t(us / 1000000);
    header.ts.tv_usec = suseconds_t(us % 1000000);
    header.caplen = bpf_u_int32(frame.size());
    header.len = header.caplen;
    pcap_dump(reinterpret_cast<u_char*>(dumper_), &header, frame.data());
    ++frames_;
}

bool CaptureWriter::close(std::string& error)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!dumper_)
        return true;
    FILE* file = pcap_dump_file(dumper_);
    const bool flushed = pcap_dump_flush(dumper_) == 0 && !std::ferror(file);
    const int flushError = errno;
    // fsync reports what a full or failing disk did with the bytes fflush handed over.
    const bool synced = flushed && ::fsync(fileno(file)) == 0;
    const int syncError = errno;
    pcap_dump_close(dumper_);
    pcap_close(dead_);
    dumper_ = nullptr;
    dead_ = nullptr;
    if (synced)
        return true;
    const int cause = flushed ? syncError : flushError;
    error = cause == ENOSPC ? "no space left on device for " + path_
                            : "writing " + path_ + " failed: " + std::strerror(cause);
    return false;
}

uint64_t CaptureWriter::frames() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

} // namespace kes_pcap
