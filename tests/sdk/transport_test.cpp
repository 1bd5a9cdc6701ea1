#include "fake_peer.h"
#include "kes_sdk/network.h"

#include <sstream>

using namespace kes_sdk;

namespace {

void ignore(FakePeer&, const Bytes&, const Endpoint&) {}

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
    expected << "local_ep is bind!\nlocal_ep.address is 0.0.0.0\nlocal_ep.port is " << net.localPort()
             << "\nsensor_address_.address is 127.0.0.1\nsensor_address_.port is " << peer.port() << "\n";
    EXPECT_EQ(out, expected.str());
    EXPECT_GT(net.receiveBufferSize(), 0);
}

// Sends queue up behind the one in flight and leave in call order; from any sender, only
// datagrams that pass the acceptance test reach the callback.
TEST(Transport, SendsLeaveInOrderAndOnlyAcceptedDatagramsArrive)
{
    FakePeer peer(ignore);
    std::mutex mutex;
    std::vector<Bytes> arrived;
    Network net(peer.address());
    net.setCallback([&](Bytes d) {
        std::lock_guard<std::mutex> lock(mutex);
        arrived.push_back(std::move(d));
    });
    testing::internal::CaptureStdout();
    ASSERT_EQ(net.open(), 0);
    testing::internal::GetCapturedStdout();
    for (uint16_t code = 0x0201; code < 0x0201 + 50; ++code)
        net.send(buildRequest(code));
    ASSERT_TRUE(kes_test::waitUntil([&] { return peer.received().size() == 50; }));
    for (size_t i = 0; i < 50; ++i)
        EXPECT_EQ(codeOf(peer.received()[i].datagram), 0x0201 + i);

    asio::io_context io;
    asio::ip::udp::socket stranger(io, loopback());
    Bytes bad = scanDatagram(6, 1, 0, 192);
    bad[0] = 0;
    const Bytes good = scanDatagram(6, 2, 0, 192);
    stranger.send_to(asio::buffer(bad), loopback(net.localPort()));
    stranger.send_to(asio::buffer(good), loopback(net.localPort()));
    ASSERT_TRUE(kes_test::waitUntil([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !arrived.empty();
    }));
    net.close();
    EXPECT_FALSE(net.isOpen());
    EXPECT_EQ(arrived, std::vector<Bytes>{good});
}
