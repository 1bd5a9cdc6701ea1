#include "fake_peer.h"
#include "kes_sdk/network.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <sstream>

using namespace kes_sdk;
using asio::ip::udp;

namespace {

// Collects what the transport hands to its callback.
class Inbox {
public:
    PacketCallback callback()
    {
        return [this](std::vector<uint8_t> d) {
            std::lock_guard<std::mutex> lock(mutex_);
            datagrams_.push_back(std::move(d));
            cv_.notify_all();
        };
    }

    bool waitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(2), [&] { return datagrams_.size() >= count; });
    }

    std::vector<Bytes> datagrams()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return datagrams_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Bytes> datagrams_;
};

void ignore(FakePeer&, const Bytes&, const FakePeer::Endpoint&) {}

udp::endpoint localEndpoint(const Network& net)
{
    return udp::endpoint(asio::ip::make_address_v4("127.0.0.1"), net.localPort());
}

bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST(Transport, OpenBindsAnEphemeralPortAndPrintsItsEndpoints)
{
    FakePeer peer(ignore);
    Network net(peer.address());
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    const std::string out = testing::internal::GetCapturedStdout();
    ASSERT_NE(net.localPort(), 0);
    std::ostringstream expected;
    expected << "local_ep is bind!\n"
             << "local_ep.address is 0.0.0.0\n"
             << "local_ep.port is " << net.localPort() << "\n"
             << "sensor_address_.address is 127.0.0.1\n"
             << "sensor_address_.port is " << peer.port() << "\n";
    EXPECT_EQ(out, expected.str());
    EXPECT_GT(net.receiveBufferSize(), 0);
    net.close();
}

TEST(Transport, SendsLeaveInCallOrder)
{
    FakePeer peer(ignore);
    Network net(peer.address());
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    testing::internal::GetCapturedStdout();
    for (uint16_t code = 0x0201; code < 0x0201 + 50; ++code)
        net.send(buildRequest(code));
    ASSERT_TRUE(waitUntil([&] { return peer.received().size() == 50; }));
    const auto got = peer.received();
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(FakePeer::codeOf(got[i].datagram), 0x0201 + i);
    net.close();
}

TEST(Transport, DeliversAcceptedDatagramsFromAnySenderAndDropsBadOnes)
{
    FakePeer peer(ignore);
    Inbox inbox;
    Network net(peer.address());
    net.setCallback(inbox.callback());
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    testing::internal::GetCapturedStdout();

    asio::io_context io;
    udp::socket stranger(io, udp::endpoint(udp::v4(), 0));
    Bytes bad = FakePeer::scan(6, 1, 0, 192);
    bad[0] = 0;
    const Bytes good = FakePeer::scan(6, 2, 0, 192);
    stranger.send_to(asio::buffer(bad), localEndpoint(net));
    stranger.send_to(asio::buffer(good), localEndpoint(net));
    ASSERT_TRUE(inbox.waitFor(1));
    net.close();
    const auto got = inbox.datagrams();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], good);
}

TEST(Transport, CloseEndsTheThreadAndIsIdempotent)
{
    FakePeer peer(ignore);
    Network net(peer.address());
    EXPECT_FALSE(net.isOpen());
    net.close();
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(net.isOpen());
    net.send(buildRequest(0x0205));
    net.close();
    EXPECT_FALSE(net.isOpen());
    net.close();
    EXPECT_FALSE(net.isOpen());
}
