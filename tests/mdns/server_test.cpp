#include <kes_test/fake_mdns_server.h>
#include <kes_test/qt_support.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QUdpSocket>

using namespace QMdnsEngine;
using kes_test::waitFor;

// Runs inside a private network namespace, where loopback carries multicast and nothing else
// listens.
namespace {

// The IPv4 copy among what arrived (loopback may carry an IPv6 one too).
Message ipv4Message(const QSignalSpy& received)
{
    for (const QList<QVariant>& arguments : received)
        if (arguments.first().value<Message>().address() == QHostAddress(QHostAddress::LocalHost))
            return arguments.first().value<Message>();
    return Message();
}

// The kernel lists group memberships per interface; 224.0.0.251 reads as FB0000E0.
bool joinedOn(const QByteArray& interface)
{
    QFile igmp("/proc/net/igmp");
    if (!igmp.open(QIODevice::ReadOnly))
        return false;
    bool inInterface = false;
    for (const QByteArray& line : igmp.readAll().split('\n')) {
        if (!line.startsWith('\t'))
            inInterface = line.simplified().split(' ').value(1) == interface;
        else if (inInterface && line.contains("FB0000E0"))
            return true;
    }
    return false;
}

} // namespace

// Two servers share the port: a message to all reaches the other, a datagram that does not
// decode is dropped, and a unicast leaves from the mDNS port.
TEST(MdnsServer, SharesThePortDropsWhatDoesNotDecodeAndUnicastsFromTheMdnsPort)
{
    qRegisterMetaType<Message>();
    Server sender;
    Server receiver;
    QSignalSpy errors(&receiver, &Server::error);
    QSignalSpy received(&receiver, &Server::messageReceived);
    QUdpSocket raw;
    raw.writeDatagram(QByteArray::fromHex("0000840000010000c00c"), MdnsIpv4Address, MdnsPort);
    sender.sendMessageToAll(kes_test::mdns::response({kes_test::mdns::address("lidar.local.", "192.0.2.7")}));
    ASSERT_TRUE(waitFor([&] { return ipv4Message(received).isResponse(); }, 2000));
    EXPECT_EQ(ipv4Message(received).port(), MdnsPort);
    EXPECT_EQ(ipv4Message(received).records().first().address(), QHostAddress("192.0.2.7"));
    EXPECT_EQ(errors.size(), 0);
    QTest::qWait(50);
    for (const QList<QVariant>& arguments : received)
        EXPECT_EQ(arguments.first().value<Message>().records().size(), 1);

    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress(QHostAddress::LocalHost)));
    Message message = kes_test::mdns::response({kes_test::mdns::pointer("_udp._udp.local.", "a._udp._udp.local.")});
    message.setAddress(QHostAddress::LocalHost);
    message.setPort(peer.localPort());
    sender.sendMessage(message);
    ASSERT_TRUE(waitFor([&] { return peer.hasPendingDatagrams(); }, 2000));
    const QNetworkDatagram datagram = peer.receiveDatagram();
    EXPECT_EQ(datagram.senderPort(), int(MdnsPort));
    Message decoded;
    ASSERT_TRUE(decodeMessage(datagram.data(), decoded));
    EXPECT_EQ(decoded.records().first().target(), "a._udp._udp.local.");
}

TEST(MdnsServer, ReportsThePortHeldExclusively)
{
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress(QHostAddress::AnyIPv4), MdnsPort, QUdpSocket::DontShareAddress));
    Server server;
    QSignalSpy errors(&server, &Server::error);
    EXPECT_TRUE(errors.wait(kes_test::scaled(2000)));
}

TEST(MdnsServer, JoinsInterfacesThatAppearLater)
{
    Server server;
    ASSERT_EQ(QProcess::execute("sh", {"-c", "ip link add kesveth0 type veth peer name kesveth1"
                                             " && ip addr add 192.0.2.1/24 dev kesveth0"
                                             " && ip link set kesveth1 up && ip link set kesveth0 up"}),
              0);
    EXPECT_TRUE(waitFor([] { return joinedOn("kesveth0"); }, 8000));
}
