#pragma once

#include "device_wire.h"

#include <asio/ip/udp.hpp>

#include <mutex>
#include <random>

namespace kes_sim {

// Sends from both the I/O and the streaming thread on one socket, dropping a share on purpose.
class DatagramSender {
public:
    DatagramSender(double loss, uint32_t seed);

    // The descriptor of the bound socket; set before any send.
    void attach(int fd);
    // False when dropped on purpose or refused by the kernel.
    bool send(const asio::ip::udp::endpoint& to, const Bytes& datagram);

private:
    std::mutex mutex_;
    int fd_ = -1;
    std::bernoulli_distribution drop_;
    std::mt19937 rng_;
};

} // namespace kes_sim
