#pragma once

#include "kes_sdk/link_stats.h"
#include "kes_sdk/socket_address.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kes_sdk {

using PacketCallback = std::function<void(std::vector<uint8_t>)>;

// A datagram transport towards one lidar.
class Net {
public:
    virtual ~Net() = default;
    [[nodiscard]] virtual int open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual void send(std::vector<uint8_t> datagram) = 0;
    // Set before open(); called on the transport's I/O thread for every accepted datagram.
    virtual void setCallback(PacketCallback callback) = 0;
    // Set before open(), both optional: where to count what arrives, and a copy of every
    // datagram in both directions. A transport without them costs nothing extra.
    virtual void setCounters(LinkCounters*) {}
    virtual void setTap(DatagramTap) {}
};

// A transport for `address`, or none when it is not a LidarAddress.
std::unique_ptr<Net> createTransport(const SocketAddress& address);

} // namespace kes_sdk
