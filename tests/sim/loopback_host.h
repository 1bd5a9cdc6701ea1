#pragma once

#include "kes_sdk/byte_order.h"
#include "kes_sdk/command_codes.h"
#include "kes_sdk/wire_format.h"

#include <kes_test/simulator.h>
#include <kes_test/time_scale.h>

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <gtest/gtest.h>

#include <poll.h>

#include <vector>

namespace kes_sim_test {

using kes_sdk::Bytes;
using kes_sdk::payloadU32;
using kes_test::Clock;
using Ms = std::chrono::milliseconds;
namespace cmd = kes_sdk::cmd;
using kes_test::startSimulator;

inline uint32_t statusOf(const Bytes& answer)
{
    return answer.size() < 12 ? 0xFFFFFFFF : kes_sdk::readU32(answer.data() + 8);
}

// The host end of a raw loopback socket, with bounded waits.
class LoopbackHost {
public:
    explicit LoopbackHost(uint16_t devicePort) : device_(asio::ip::address_v4::loopback(), devicePort) {}

    void send(const Bytes& datagram) { socket_.send_to(asio::buffer(datagram), device_); }

    // The next datagram of `cls` (command answers 0, scans 1) before the deadline, else empty.
    Bytes receive(uint8_t cls, Clock::time_point deadline)
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<Ms>(deadline - Clock::now()).count();
            pollfd p{socket_.native_handle(), POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, int(left)) <= 0)
                return {};
            Bytes d(65536);
            d.resize(socket_.receive(asio::buffer(d)));
            if (d.size() >= 3 && d[2] == cls)
                return d;
        }
    }

    // The answer to `code`, or empty when none came within `wait`.
    Bytes request(uint16_t code, const Bytes& payload = {}, Ms wait = Ms(500))
    {
        send(kes_sdk::buildRequest(code, payload));
        const auto deadline = Clock::now() + wait;
        for (Bytes d; !(d = receive(0, deadline)).empty();)
            if (d.size() >= 8 && kes_sdk::responseCode(d) == code)
                return d;
        return {};
    }

    Bytes nextScan(Ms wait = Ms(500)) { return receive(1, Clock::now() + wait); }
    // Drains what is in flight; whether the stream then stays quiet for `quiet`.
    bool streamStopped(Ms quiet)
    {
        while (!nextScan(Ms(5)).empty()) {
        }
        return nextScan(quiet).empty();
    }

private:
    asio::io_context io_;
    asio::ip::udp::socket socket_{io_, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0)};
    asio::ip::udp::endpoint device_;
};

} // namespace kes_sim_test
