#include "flood_packet.h"

#include <kes_test/fake_mdns_server.h>
#include <kes_test/qt_support.h>

#include <kes_logic/lidar_logic.h>
#include <kes_logic/service_model.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/service.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <algorithm>

using namespace QMdnsEngine;
using namespace kes_test::mdns;

namespace {

const QByteArray kType = "_udp._udp.local.";

// What a responder sends for one service instance on `host`.
Message announcement(const QByteArray& name, const QByteArray& host, quint16 port, quint32 ttl = 120)
{
    const QByteArray instance = name + '.' + kType;
    return response(
        {pointer(kType, instance, ttl), service(instance, host, port, ttl), text(instance, "model", "kestra")});
}

bool askedFor(const kes_test::FakeMdnsServer& server, const QByteArray& host)
{
    return std::any_of(server.sent.begin(), server.sent.end(),
                       [&](const Message& m) { return m.queries().contains(Query(host, A)); });
}

// Stops the timer so the test decides when a tick happens.
class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        timer_ = logic_.findChild<QTimer*>(QStringLiteral("mdns_timer_"));
        ASSERT_TRUE(timer_ && timer_->isActive());
        EXPECT_EQ(timer_->interval(), 3000);
        timer_->stop();
    }

    void tick()
    {
        QMetaObject::invokeMethod(timer_, "timeout");
        QCoreApplication::processEvents();
    }

    kes_test::FakeMdnsServer server_;
    LidarLogic logic_{&server_};
    QSignalSpy ips_{&logic_, &LidarLogic::sendIP};
    QTimer* timer_ = nullptr;
};

} // namespace

TEST(ServiceModelTest, ListsServicesInArrivalOrderAndFollowsUpdatesAndGoodbyes)
{
    kes_test::FakeMdnsServer server;
    ServiceModel model(&server, kType);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    server.inject(announcement("lidar-1", "host-1.local.", 2007));
    server.inject(announcement("lidar-2", "host-2.local.", 2008));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QStringLiteral("lidar-1 (_udp._udp.local.)"));
    const auto second = model.data(model.index(1), Qt::UserRole).value<Service>();
    EXPECT_EQ(second.port(), 2008);
    EXPECT_EQ(second.hostname(), QByteArray("host-2.local."));
    EXPECT_FALSE(model.data(model.index(2), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.data(model.index(0), Qt::ToolTipRole).isValid());

    server.inject(announcement("lidar-1", "host-1.local.", 2009));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(model.data(model.index(0), Qt::UserRole).value<Service>().port(), 2009);
    server.inject(announcement("lidar-1", "host-1.local.", 2009, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 1; }, 2000));
    EXPECT_EQ(model.data(model.index(0), Qt::UserRole).value<Service>().name(), QByteArray("lidar-2"));
}

TEST_F(DiscoveryTest, OnlyTheLastServiceOnPort2007IsResolvedAndOnly192168AddressesAreTaken)
{
    EXPECT_EQ(logic_.ip_addr_.get(), QStringLiteral("192.168.1.100"));
    server_.inject(announcement("lidar-1", "host-1.local.", 2007));
    server_.inject(announcement("lidar-2", "Host-2.LOCAL.", 2007));
    server_.inject(announcement("other", "host-8.local.", 2008));
    // From a port other than mDNS's, and last: taken, it would be the one resolved.
    Message foreign = announcement("lidar-9", "host-9.local.", 2007);
    foreign.setPort(5354);
    server_.inject(foreign);
    tick();
    for (const char* other : {"host-1.local.", "host-8.local.", "host-9.local."})
        EXPECT_FALSE(askedFor(server_, other)) << other;
    ASSERT_TRUE(askedFor(server_, "Host-2.LOCAL."));

    // Answers name the host in other letter cases.
    server_.inject(response({address("host-1.local.", "192.168.1.56")}));
    for (const char* ip : {"10.0.0.5", "fe80::1", "::ffff:192.168.1.5"})
        server_.inject(response({address("host-2.local.", ip)}));
    EXPECT_EQ(ips_.size(), 0);
    server_.inject(response({address("host-2.local.", "192.168.1.57")}));
    ASSERT_EQ(ips_.size(), 1);
    EXPECT_EQ(QStringList({ips_.at(0).at(0).toString(), logic_.ip_addr_.get()}),
              QStringList({"192.168.1.57", "192.168.1.57"}));

    // A host with thousands of addresses in one response proposes a bounded few.
    Message many = response({});
    for (int i = 0; i < 4000; ++i)
        many.addRecord(address("host-2.local.", QStringLiteral("192.168.%1.%2").arg(3 + i / 250).arg(i % 250)));
    server_.inject(many);
    EXPECT_LE(ips_.size(), 1 + 16);

    // Every tick starts a fresh browse: what was resolved is not asked for again.
    server_.sent.clear();
    tick();
    EXPECT_FALSE(askedFor(server_, "Host-2.LOCAL."));
    ASSERT_FALSE(server_.sent.isEmpty());
    EXPECT_EQ(server_.sent.last().queries().value(0).type(), PTR);
}

// Responses near 64 KB of pointers to instances nobody describes: 3,270 short names, or 800
// of the longest labels. A few milliseconds each in a plain build (the first took 0.8 s when
// every pointer raised its own query); sanitizers slow this work a hundredfold, so there only
// the queries are counted.
TEST_F(DiscoveryTest, AFloodOfPointersSetsOffAFewQueriesAndHoldsTheLoopBriefly)
{
    for (const QByteArray& packet : {floodPacket(), floodPacket(20000, 800, 63)}) {
        Message flood;
        ASSERT_TRUE(decodeMessage(packet, flood));
        flood.setPort(MdnsPort);
        server_.sent.clear();
        QElapsedTimer clock;
        clock.start();
        server_.inject(flood);
        QCoreApplication::processEvents();
#ifndef KES_SANITIZED
        EXPECT_LT(clock.elapsed(), 200);
#endif
        EXPECT_LE(server_.sent.size(), 3);
    }
}
