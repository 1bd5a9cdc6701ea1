#pragma once

#include <cstdint>

namespace kes_sdk {

class SocketAddress {
public:
    virtual ~SocketAddress() = default;
};

// The lidar's UDP endpoint; ip and port both in network byte order.
class LidarAddress : public SocketAddress {
public:
    LidarAddress(uint32_t ip, uint16_t port) : ip_(ip), port_(port) {}

    uint32_t ip() const { return ip_; }
    uint16_t port() const { return port_; }

    bool operator==(const LidarAddress& other) const { return ip_ == other.ip_ && port_ == other.port_; }
    bool operator!=(const LidarAddress& other) const { return !(*this == other); }

private:
    uint32_t ip_;
    uint16_t port_;
};

} // namespace kes_sdk
