#include "datagram_sender.h"

#include <sys/socket.h>

namespace kes_sim {

DatagramSender::DatagramSender(double loss, uint32_t seed) : drop_(loss), rng_(seed ^ 0x5EEDu) {}

void DatagramSender::attach(int fd)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fd_ = fd;
}

bool DatagramSender::send(const asio::ip::udp::endpoint& to, const Bytes& datagram)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (drop_(rng_))
        return false;
    // A plain sendto leaves the asio socket object to the I/O thread alone.
    const ssize_t sent = ::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL, to.data(), to.size());
    return sent == ssize_t(datagram.size());
}

} // namespace kes_sim
