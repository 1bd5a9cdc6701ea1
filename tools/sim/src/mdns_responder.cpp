#include "mdns_responder.h"

#include <asio/ip/multicast.hpp>

#include <sys/socket.h>

namespace kes_sim {

using asio::ip::udp;

MdnsResponder::MdnsResponder(asio::io_context& io, Announcement announcement)
    : socket_(io), announcement_(std::move(announcement))
{
}

std::string MdnsResponder::open()
{
    const asio::ip::address_v4 group = asio::ip::make_address_v4(kMdnsGroup);
    const asio::ip::address_v4 own(announcement_.ipv4);
    asio::error_code ec;
    socket_.open(udp::v4(), ec);
    if (!ec)
        socket_.set_option(udp::socket::reuse_address(true), ec);
    if (!ec) {
        const int on = 1;
        // Where the other users of the port asked for it; harmless where they did not.
        setsockopt(socket_.native_handle(), SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        socket_.bind(udp::endpoint(asio::ip::address_v4::any(), kMdnsPort), ec);
    }
    if (ec) {
        close();
        return "cannot share port 5353: " + ec.message();
    }
    // On the interface that holds our address, else wherever the group is routed.
    socket_.set_option(asio::ip::multicast::join_group(group, own), ec);
    if (ec)
        socket_.set_option(asio::ip::multicast::join_group(group), ec);
    if (ec) {
        close();
        return std::string("cannot join ") + kMdnsGroup + ": " + ec.message();
    }
    asio::error_code ignored;
    socket_.set_option(asio::ip::multicast::outbound_interface(own), ignored);
    socket_.set_option(asio::ip::multicast::enable_loopback(true), ignored);
    socket_.set_option(asio::ip::multicast::hops(255), ignored);
    receive();
    return {};
}

void MdnsResponder::close()
{
    asio::error_code ignored;
    socket_.close(ignored);
}

void MdnsResponder::receive()
{
    socket_.async_receive_from(asio::buffer(buffer_), sender_, [this](const asio::error_code& ec, size_t size) {
        if (ec == asio::error::operation_aborted || !socket_.is_open())
            return;
        if (!ec) {
            const bool one_shot = sender_.port() != kMdnsPort;
            const std::vector<uint8_t> reply = answerQuery(announcement_, buffer_.data(), size, one_shot);
            const udp::endpoint to =
                one_shot ? sender_ : udp::endpoint(asio::ip::make_address_v4(kMdnsGroup), kMdnsPort);
            asio::error_code ignored;
            if (!reply.empty())
                socket_.send_to(asio::buffer(reply), to, 0, ignored);
        }
        receive();
    });
}

} // namespace kes_sim
