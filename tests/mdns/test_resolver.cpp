#include <QtTest>

#include "../logic/fake_mdns_server.h"
#include "testrecords.h"

#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/resolver.h>

using namespace QMdnsEngine;

class ResolverTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportsCachedAddressOnNextTurn()
    {
        FakeMdnsServer server;
        Cache cache;
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57"));
        Resolver resolver(&server, "lidar.local", &cache);
        QList<QHostAddress> resolved;
        collect(resolver, resolved);
        QVERIFY(resolved.isEmpty());
        QCOMPARE(server.sent.size(), 1);
        const QList<Query> queries = {Query("lidar.local.", A), Query("lidar.local.", AAAA)};
        QCOMPARE(server.sent.first().queries(), queries);
        const QList<QHostAddress> expected = {QHostAddress("192.168.77.57")};
        QTRY_COMPARE_WITH_TIMEOUT(resolved, expected, 1000);
    }

    void reportsEachAddressOnce()
    {
        FakeMdnsServer server;
        Cache cache;
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57"));
        Resolver resolver(&server, "lidar.local.", &cache);
        QList<QHostAddress> resolved;
        collect(resolver, resolved);
        bool turnPassed = false;
        QTimer::singleShot(0, [&turnPassed] { turnPassed = true; });
        server.inject(testrecords::response({testrecords::address("lidar.local.", "192.168.77.57"),
                                             testrecords::address("LiDAR.Local.", "fe80::1"),
                                             testrecords::address("other.local.", "192.168.77.9")}));
        Message query = testrecords::response({testrecords::address("lidar.local.", "192.168.77.8")});
        query.setResponse(false);
        server.inject(query);
        Message foreign = testrecords::response({testrecords::address("lidar.local.", "192.168.77.7")});
        foreign.setPort(5354);
        server.inject(foreign);
        // The same answer again, as it arrives on both families of a dual-stack host.
        server.inject(testrecords::response({testrecords::address("lidar.local.", "fe80::1")}));
        QTRY_VERIFY(turnPassed);

        const QList<QHostAddress> expected = {QHostAddress("192.168.77.57"), QHostAddress("fe80::1")};
        QCOMPARE(resolved, expected);
    }

private:
    // QHostAddress is not a declared meta-type, so a QSignalSpy cannot hold it.
    static void collect(Resolver& resolver, QList<QHostAddress>& addresses)
    {
        connect(&resolver, &Resolver::resolved,
                [&addresses](const QHostAddress& address) { addresses.append(address); });
    }
};

QTEST_GUILESS_MAIN(ResolverTest)
#include "test_resolver.moc"
