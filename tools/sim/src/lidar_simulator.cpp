#include "kes_sim/lidar_simulator.h"

#include "datagram_sender.h"
#include "device_state.h"
#include "kes_sdk/byte_order.h"
#include "kes_sdk/wire_format.h"
#include "mdns_responder.h"
#include "replay_streamer.h"
#include "request_log.h"
#include "scan_streamer.h"

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>

#include <fcntl.h>

#include <array>
#include <thread>

namespace kes_sim {

class LidarSimulator::Impl {
public:
    explicit Impl(SimOptions options);

    StartResult start();
    void stop();
    uint16_t port() const { return port_; }
    DeviceSnapshot snapshot() const { return state_.snapshot(); }

private:
    StartResult bind();
    StartResult announce(const asio::ip::address& bound);
    void receive();
    void onDatagram(size_t size);
    void answer(const udp::endpoint& to, Bytes datagram);

    const SimOptions options_;
    asio::io_context io_;
    udp::socket socket_{io_};
    std::array<uint8_t, 2048> buffer_{};
    udp::endpoint sender_endpoint_;
    DeviceState state_;
    DatagramSender sender_;
    std::unique_ptr<Streamer> streamer_;
    std::unique_ptr<MdnsResponder> responder_;
    std::thread io_thread_;
    uint16_t port_ = 0;
    bool running_ = false;
};

LidarSimulator::Impl::Impl(SimOptions options)
    : options_(std::move(options)), state_(options_), sender_(options_.loss, options_.seed)
{
    if (options_.replay)
        streamer_ = std::make_unique<ReplayStreamer>(state_, sender_, options_.replay, options_.loop);
    else
        streamer_ = std::make_unique<ScanStreamer>(state_, sender_, options_);
}

StartResult LidarSimulator::Impl::bind()
{
    const std::string where = options_.bind_address + ':' + std::to_string(options_.port);
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(options_.bind_address, ec);
    if (!ec)
        socket_.open(address.is_v4() ? udp::v4() : udp::v6(), ec);
    // A program that embeds the simulator and starts others must not hand them its port.
    if (!ec)
        ::fcntl(socket_.native_handle(), F_SETFD, FD_CLOEXEC);
    if (!ec)
        socket_.bind(udp::endpoint(address, options_.port), ec);
    if (ec) {
        asio::error_code ignored;
        socket_.close(ignored);
        return {ec, "cannot bind " + where + ": " + ec.message()};
    }
    port_ = socket_.local_endpoint().port();
    return options_.announce ? announce(address) : StartResult{};
}

// A lidar announces the address it is reached at; bound to any, that is the device address.
StartResult LidarSimulator::Impl::announce(const asio::ip::address& bound)
{
    Announcement announcement;
    asio::error_code ec;
    const asio::ip::address_v4 own =
        bound.is_v4() && !bound.is_unspecified() ? bound.to_v4() : asio::ip::make_address_v4(options_.device_ip, ec);
    announcement.ipv4 = own.to_uint();
    announcement.port = port_;
    responder_ = std::make_unique<MdnsResponder>(io_, announcement);
    const std::string failure = ec ? "no IPv4 address to announce" : responder_->open();
    if (failure.empty())
        return {};
    responder_.reset();
    socket_.close(ec);
    return {std::make_error_code(std::errc::address_not_available), "cannot announce: " + failure};
}

StartResult LidarSimulator::Impl::start()
{
    if (running_)
        return {std::make_error_code(std::errc::operation_in_progress), "already started"};
    StartResult result = bind();
    if (!result.ok())
        return result;
    state_.powerOn(Clock::now());
    sender_.attach(socket_.native_handle());
    io_.restart();
    receive();
    io_thread_ = std::thread([this] { io_.run(); });
    streamer_->start();
    running_ = true;
    return result;
}

void LidarSimulator::Impl::stop()
{
    if (!running_)
        return;
    running_ = false;
    streamer_->stop();
    io_.stop();
    io_thread_.join();
    asio::error_code ec;
    socket_.close(ec);
    if (responder_)
        responder_->close();
}

void LidarSimulator::Impl::receive()
{
    socket_.async_receive_from(asio::buffer(buffer_), sender_endpoint_,
                               [this](const asio::error_code& ec, size_t size) {
                                   if (ec == asio::error::operation_aborted)
                                       return;
                                   if (!ec)
                                       onDatagram(size);
                                   receive();
                               });
}

void LidarSimulator::Impl::onDatagram(size_t size)
{
    const uint8_t* data = buffer_.data();
    const std::string defect = requestDefect(data, size);
    if (!defect.empty()) {
        state_.noteMalformed();
        if (options_.verbose)
            logMalformed(sender_endpoint_, size, defect);
        return;
    }
    const uint16_t code = kes_sdk::readU16(data + 4);
    const uint8_t* payload = data + kes_sdk::kRequestHeaderSize;
    const size_t payloadSize = size - kes_sdk::kRequestHeaderSize - kes_sdk::kCrcSize;
    const Clock::time_point now = Clock::now();
    if (state_.silent(now)) {
        state_.noteIgnored();
        if (options_.verbose)
            logIgnored(code);
        return;
    }
    Reply reply = state_.handle(code, payload, payloadSize, sender_endpoint_, now);
    if (options_.verbose)
        logRequest(code, payload, payloadSize, reply.status);
    answer(sender_endpoint_, std::move(reply.datagram));
}

void LidarSimulator::Impl::answer(const udp::endpoint& to, Bytes datagram)
{
    if (options_.delay_ms == 0) {
        sender_.send(to, datagram);
        return;
    }
    auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(options_.delay_ms));
    timer->async_wait([this, timer, to, datagram = std::move(datagram)](const asio::error_code& ec) {
        if (!ec)
            sender_.send(to, datagram);
    });
}

LidarSimulator::LidarSimulator(SimOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

LidarSimulator::~LidarSimulator()
{
    stop();
}

StartResult LidarSimulator::start()
{
    return impl_->start();
}

void LidarSimulator::stop()
{
    impl_->stop();
}

uint16_t LidarSimulator::port() const
{
    return impl_->port();
}

DeviceSnapshot LidarSimulator::snapshot() const
{
    return impl_->snapshot();
}

} // namespace kes_sim
