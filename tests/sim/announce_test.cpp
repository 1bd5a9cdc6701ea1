#include "kes_sim/lidar_simulator.h"

#include <qmdnsengine/browser.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <memory>

// kestra-sim --announce on the loopback of a private namespace whose loopback carries
// multicast, found the way the viewer finds a lidar and asked by hand on the wire.
namespace {

class Announced : public ::testing::Test {
protected:
    void SetUp() override
    {
        kes_sim::SimOptions options;
        options.bind_address = "127.0.0.1";
        options.port = 0;
        options.announce = true;
        sim_ = std::make_unique<kes_sim::LidarSimulator>(options);
        const kes_sim::StartResult started = sim_->start();
        ASSERT_TRUE(started.ok()) << started.message;
    }

    std::unique_ptr<kes_sim::LidarSimulator> sim_;
};

TEST_F(Announced, OurBrowserFindsTheServiceAndOurResolverItsAddress)
{
    QMdnsEngine::Server server;
    QMdnsEngine::Browser browser(&server, "_udp._udp.local.");
    QList<QMdnsEngine::Service> found;
    QObject::connect(&browser, &QMdnsEngine::Browser::serviceAdded,
                     [&](const QMdnsEngine::Service& service) { found << service; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !found.isEmpty(); }, 5000));
    EXPECT_EQ(found[0].type(), "_udp._udp.local.");
    EXPECT_EQ(found[0].port(), sim_->port());

    QMdnsEngine::Resolver resolver(&server, found[0].hostname());
    QList<QHostAddress> addresses;
    QObject::connect(&resolver, &QMdnsEngine::Resolver::resolved,
                     [&](const QHostAddress& address) { addresses << address; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !addresses.isEmpty(); }, 5000));
    EXPECT_EQ(addresses, QList<QHostAddress>{QHostAddress(QStringLiteral("127.0.0.1"))});
}

// A query from a port other than 5353 gets its answer back unicast, with its id. A hostile
// datagram before it (a name pointer that points at itself) is dropped without harm.
TEST_F(Announced, ARawQueryFromAnotherPortIsAnsweredToItsSender)
{
    QUdpSocket socket;
    ASSERT_TRUE(socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    const QByteArray loop = QByteArray::fromHex("000000000001000000000000c00c000c0001");
    socket.writeDatagram(loop, QMdnsEngine::MdnsIpv4Address, QMdnsEngine::MdnsPort);
    // PTR for _udp._udp.local, then SRV for the instance, its type compressed.
    const QByteArray query = QByteArray::fromHex("2a2a00000002000000000000"
                                                 "045f756470045f756470056c6f63616c00000c0001"
                                                 "0a6b65737472612d73696dc00c00210001");
    socket.writeDatagram(query, QMdnsEngine::MdnsIpv4Address, QMdnsEngine::MdnsPort);
    ASSERT_TRUE(QTest::qWaitFor([&] { return socket.hasPendingDatagrams(); }, 3000));

    QMdnsEngine::Message reply;
    ASSERT_TRUE(QMdnsEngine::decodeMessage(socket.receiveDatagram().data(), reply));
    EXPECT_TRUE(reply.isResponse());
    EXPECT_EQ(reply.transactionId(), 0x2a2a);
    EXPECT_EQ(reply.queries().size(), 2);
    QMap<quint16, QMdnsEngine::Record> records;
    for (const QMdnsEngine::Record& record : reply.records())
        records.insert(record.type(), record);
    ASSERT_EQ(records.keys(),
              (QList<quint16>{QMdnsEngine::A, QMdnsEngine::PTR, QMdnsEngine::TXT, QMdnsEngine::SRV}));
    EXPECT_EQ(records[QMdnsEngine::PTR].target(), "kestra-sim._udp._udp.local.");
    EXPECT_EQ(records[QMdnsEngine::SRV].port(), sim_->port());
    EXPECT_EQ(records[QMdnsEngine::SRV].target(), records[QMdnsEngine::A].name());
    EXPECT_EQ(records[QMdnsEngine::A].address(), QHostAddress(QStringLiteral("127.0.0.1")));
    EXPECT_LE(records[QMdnsEngine::A].ttl(), 10u);
    EXPECT_FALSE(socket.hasPendingDatagrams());
}

} // namespace
