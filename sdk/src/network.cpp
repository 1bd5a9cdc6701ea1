#include "kes_sdk/network.h"

#include "kes_sdk/wire_format.h"

#include <asio/dispatch.hpp>
#include <asio/post.hpp>

#include <arpa/inet.h>

#include <iostream>
#include <memory>

namespace kes_sdk {

using asio::ip::udp;

std::unique_ptr<Net> createTransport(const SocketAddress& address)
{
    if (const auto* lidar = dynamic_cast<const LidarAddress*>(&address))
        return std::make_unique<Network>(*lidar);
    return nullptr;
}

Network::Network(const LidarAddress& address)
    : socket_(io_context_), sensor_address_(asio::ip::address_v4(ntohl(address.ip())), ntohs(address.port()))
{
}

Network::~Network()
{
    close();
}

void Network::setCallback(PacketCallback callback)
{
    callback_ = std::move(callback);
}

bool Network::isOpen() const
{
    return open_;
}

uint16_t Network::localPort() const
{
    asio::error_code ec;
    const auto ep = socket_.local_endpoint(ec);
    return ec ? 0 : ep.port();
}

int Network::open()
{
    asio::error_code ec;
    socket_.open(udp::v4(), ec);
    if (ec)
        return kSocketError;
    socket_.bind(udp::endpoint(asio::ip::address_v4::any(), 0), ec);
    if (ec) {
        socket_.close(ec);
        return kSocketError;
    }
    std::cout << "local_ep is bind!" << std::endl;
    // A bigger buffer rides out scheduling hiccups; less than asked for is still fine.
    socket_.set_option(udp::socket::receive_buffer_size(kWantedReceiveBuffer), ec);
    udp::socket::receive_buffer_size given;
    socket_.get_option(given, ec);
    receive_buffer_size_ = ec ? 0 : given.value();

    local_port_ = localPort();
    io_context_.restart();
    startReceive();
    open_ = true;
    io_thread_ = std::thread([this] { io_context_.run(); });
    printEndpoints();
    return kSuccess;
}

void Network::printEndpoints() const
{
    asio::error_code ec;
    const udp::endpoint local = socket_.local_endpoint(ec);
    std::cout << "local_ep.address is " << local.address().to_string() << '\n'
              << "local_ep.port is " << local.port() << '\n';
    if (sensor_address_.address().is_v4())
        std::cout << "sensor_address_.address is " << sensor_address_.address().to_string() << '\n'
                  << "sensor_address_.port is " << sensor_address_.port() << '\n';
    std::cout << std::flush;
}

void Network::close()
{
    if (!open_.exchange(false))
        return;
    // Socket work belongs to the I/O thread; pending operations then end with an abort.
    asio::post(io_context_, [this] {
        asio::error_code ec;
        socket_.cancel(ec);
        socket_.close(ec);
    });
    if (io_thread_.joinable())
        io_thread_.join();
}

void Network::startReceive()
{
    socket_.async_receive_from(asio::buffer(receive_buffer_), sender_endpoint_,
                               [this](const asio::error_code& error, size_t bytes) { onReceive(error, bytes); });
}

void Network::onReceive(const asio::error_code& error, size_t bytes)
{
    if (error)
        return;
    const bool accepted = acceptDatagram(receive_buffer_.data(), bytes);
    if (counters_)
        counters_->countDatagram(accepted);
    if (tap_)
        tap(false, accepted, sender_endpoint_, receive_buffer_.data(), bytes);
    if (callback_ && accepted)
        callback_(std::vector<uint8_t>(receive_buffer_.begin(), receive_buffer_.begin() + bytes));
    startReceive();
}

void Network::send(std::vector<uint8_t> datagram)
{
    auto holder = std::make_shared<std::vector<uint8_t>>(std::move(datagram));
    asio::dispatch(io_context_, [this, holder] { enqueue(std::move(*holder)); });
}

void Network::enqueue(std::vector<uint8_t> datagram)
{
    const bool idle = send_queue_.empty();
    send_queue_.push_back(std::move(datagram));
    if (idle)
        sendFront();
}

void Network::tap(bool sent, bool accepted, const udp::endpoint& peer, const uint8_t* data, size_t size) const
{
    TappedDatagram d;
    d.sent = sent;
    d.accepted = accepted;
    d.peer_ip = peer.address().is_v4() ? peer.address().to_v4().to_uint() : 0;
    d.peer_port = peer.port();
    d.local_port = local_port_;
    d.time = std::chrono::system_clock::now();
    d.data = data;
    d.size = size;
    tap_(d);
}

void Network::sendFront()
{
    if (tap_)
        tap(true, true, sensor_address_, send_queue_.front().data(), send_queue_.front().size());
    socket_.async_send_to(asio::buffer(send_queue_.front()), sensor_address_,
                          [this](const asio::error_code&, size_t) {
                              send_queue_.pop_front();
                              if (!send_queue_.empty())
                                  sendFront();
                          });
}

} // namespace kes_sdk
