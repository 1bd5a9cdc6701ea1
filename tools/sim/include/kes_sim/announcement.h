#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// How the simulated lidar makes itself known over mDNS: one service of type _udp._udp on
// its port, on a host that resolves to its address.
namespace kes_sim {

struct Announcement {
    std::string instance = "kestra-sim"; // instance label of the service
    std::string host = "kestra-sim";     // host label, below .local
    uint32_t ipv4 = 0;                   // host byte order
    uint16_t port = 2007;
};

constexpr uint16_t kMdnsPort = 5353;
constexpr const char* kMdnsGroup = "224.0.0.251";

// The response to one received datagram, empty when it is not a query or asks nothing this
// host holds. A query from a port other than 5353 gets a one-shot answer (its id and
// questions echoed, short TTLs) for unicast back to the sender; any other answer goes to the
// group. Malformed datagrams are dropped whole.
std::vector<uint8_t> answerQuery(const Announcement& announcement, const uint8_t* data, size_t size, bool one_shot);

} // namespace kes_sim
