#pragma once

#include "kes_sim/announcement.h"

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>

#include <array>
#include <string>

namespace kes_sim {

// Answers mDNS queries for the announcement on port 5353, which it shares with any other
// responder or browser on the host, as they share it with us.
class MdnsResponder {
public:
    MdnsResponder(asio::io_context& io, Announcement announcement);

    // Empty on success, else why the port or the group could not be had.
    std::string open();
    void close();

private:
    void receive();

    asio::ip::udp::socket socket_;
    const Announcement announcement_;
    std::array<uint8_t, 9000> buffer_{};
    asio::ip::udp::endpoint sender_;
};

} // namespace kes_sim
