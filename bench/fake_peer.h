#pragma once

#include "device_datagrams.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

// A scripted lidar on loopback: every request goes to the handler, which answers as it likes.
class FakePeer {
public:
    using Handler = std::function<void(FakePeer&, const Bytes& request, const Endpoint& from)>;

    explicit FakePeer(Handler onRequest) : onRequest_(std::move(onRequest)), thread_([this] { run(); }) {}
    ~FakePeer()
    {
        // A datagram to ourselves wakes the blocking receive.
        stop_ = true;
        socket_.send_to(asio::buffer(Bytes{0}), socket_.local_endpoint());
        thread_.join();
    }

    uint16_t port() const { return socket_.local_endpoint().port(); }
    void send(const Bytes& datagram, const Endpoint& to) { socket_.send_to(asio::buffer(datagram), to); }

private:
    void run()
    {
        Bytes buffer(65535);
        while (!stop_) {
            Endpoint from;
            asio::error_code ec;
            const size_t n = socket_.receive_from(asio::buffer(buffer), from, 0, ec);
            if (ec || stop_)
                continue;
            onRequest_(*this, Bytes(buffer.begin(), buffer.begin() + long(n)), from);
        }
    }

    Handler onRequest_;
    asio::io_context io_;
    asio::ip::udp::socket socket_{io_, loopback()};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
