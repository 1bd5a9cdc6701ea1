#include <kes_test/qt_support.h>
#include <kes_test/simulator.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace QMdnsEngine;

// kestra-sim --announce on the loopback of a private namespace whose loopback carries
// multicast, found the way the viewer finds a lidar, then asked by hand on the wire: a query
// from a port other than 5353 gets its answer back unicast, with its id. A hostile datagram
// before it (a name pointer that points at itself) is dropped without harm.
TEST(Announced, OurBrowserAndResolverFindItAndARawQueryFromAnotherPortIsAnsweredToItsSender)
{
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) { o.announce = true; });
    Server server;
    Browser browser(&server, "_udp._udp.local.");
    QList<Service> found;
    QObject::connect(&browser, &Browser::serviceAdded, [&](const Service& service) { found << service; });
    ASSERT_TRUE(kes_test::waitFor([&] { return !found.isEmpty(); }, 5000));
    EXPECT_EQ(found[0].type(), "_udp._udp.local.");
    EXPECT_EQ(found[0].port(), sim->port());

    Resolver resolver(&server, found[0].hostname());
    QList<QHostAddress> addresses;
    QObject::connect(&resolver, &Resolver::resolved, [&](const QHostAddress& address) { addresses << address; });
    ASSERT_TRUE(kes_test::waitFor([&] { return !addresses.isEmpty(); }, 5000));
    EXPECT_EQ(addresses, QList<QHostAddress>{QHostAddress("127.0.0.1")});

    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    const QByteArray loop = QByteArray::fromHex("000000000001000000000000c00c000c0001");
    socket.writeDatagram(loop, MdnsIpv4Address, MdnsPort);
    // PTR for _udp._udp.local, then SRV for the instance, its type compressed.
    const QByteArray query = QByteArray::fromHex("2a2a00000002000000000000"
                                                 "045f756470045f756470056c6f63616c00000c0001"
                                                 "0a6b65737472612d73696dc00c00210001");
    socket.writeDatagram(query, MdnsIpv4Address, MdnsPort);
    ASSERT_TRUE(kes_test::waitFor([&] { return socket.hasPendingDatagrams(); }, 3000));

    Message reply;
    ASSERT_TRUE(decodeMessage(socket.receiveDatagram().data(), reply));
    EXPECT_TRUE(reply.isResponse());
    EXPECT_EQ(reply.transactionId(), 0x2a2a);
    EXPECT_EQ(reply.queries().size(), 2);
    QMap<quint16, Record> records;
    for (const Record& record : reply.records())
        records.insert(record.type(), record);
    ASSERT_EQ(records.keys(), (QList<quint16>{A, PTR, TXT, SRV}));
    EXPECT_EQ(records[PTR].target(), "kestra-sim._udp._udp.local.");
    EXPECT_EQ(records[SRV].port(), sim->port());
    EXPECT_EQ(records[SRV].target(), records[A].name());
    EXPECT_EQ(records[A].address(), QHostAddress("127.0.0.1"));
    EXPECT_LE(records[A].ttl(), 10u);
    EXPECT_FALSE(socket.hasPendingDatagrams());
}
