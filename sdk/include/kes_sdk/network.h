#pragma once

#include "kes_sdk/net.h"

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <array>
#include <atomic>
#include <deque>
#include <thread>

namespace kes_sdk {

// UDP transport: one socket on an ephemeral port, one I/O thread, an ordered send queue.
class Network : public Net {
public:
    explicit Network(const LidarAddress& address);
    ~Network() override;

    [[nodiscard]] int open() override;
    void close() override;
    bool isOpen() const override;
    void send(std::vector<uint8_t> datagram) override;
    void setCallback(PacketCallback callback) override;
    void setCounters(LinkCounters* counters) override { counters_ = counters; }
    void setTap(DatagramTap tap) override { tap_ = std::move(tap); }

    // The kernel's receive buffer size as read back after open (0 before).
    int receiveBufferSize() const { return receive_buffer_size_; }
    uint16_t localPort() const;

    static constexpr int kWantedReceiveBuffer = 1 << 20;

private:
    void startReceive();
    void onReceive(const asio::error_code& error, size_t bytes);
    void enqueue(std::vector<uint8_t> datagram);
    void sendFront();
    void printEndpoints() const;
    void tap(bool sent, bool accepted, const asio::ip::udp::endpoint& peer, const uint8_t* data, size_t size) const;

    PacketCallback callback_;
    LinkCounters* counters_ = nullptr;
    DatagramTap tap_;
    uint16_t local_port_ = 0;
    std::thread io_thread_;
    asio::io_context io_context_;
    asio::ip::udp::socket socket_;
    asio::ip::udp::endpoint sensor_address_;
    asio::ip::udp::endpoint sender_endpoint_;
    std::deque<std::vector<uint8_t>> send_queue_;
    std::array<uint8_t, 65535> receive_buffer_{};
    int receive_buffer_size_ = 0;
    std::atomic<bool> open_{false};
};

} // namespace kes_sdk
