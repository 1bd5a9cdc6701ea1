#include <QtTest>

#include "../logic/fake_mdns_server.h"
#include "testrecords.h"

#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/resolver.h>

using namespace QMdnsEngine;

namespace {
const QByteArray Type = "_udp._udp.local.";
const QByteArray Instance = "lidar-a._udp._udp.local.";
} // namespace

class BrowserTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Service>("QMdnsEngine::Service"); }

    void addsUpdatesAndRemoves()
    {
        FakeMdnsServer server;
        Browser browser(&server, Type);
        QSignalSpy added(&browser, &Browser::serviceAdded);
        QSignalSpy updated(&browser, &Browser::serviceUpdated);
        QSignalSpy removed(&browser, &Browser::serviceRemoved);

        server.inject(testrecords::response({testrecords::pointer(Type, Instance),
                                             testrecords::service(Instance, "lidar.local.", 2007),
                                             testrecords::text(Instance, "serial", "K1")}));
        QCOMPARE(added.size(), 1);
        Service expected;
        expected.setType(Type);
        expected.setName("lidar-a");
        expected.setPort(2007);
        expected.addAttribute("serial", "K1");
        QVERIFY(added.first().first().value<Service>() == expected);
        QCOMPARE(added.first().first().value<Service>().hostname(), QByteArray("lidar.local."));

        server.inject(testrecords::response({testrecords::service(Instance, "lidar.local.", 2007)}));
        QCOMPARE(updated.size(), 0);
        server.inject(testrecords::response({testrecords::service(Instance, "lidar.local.", 2008)}));
        server.inject(testrecords::response({testrecords::text(Instance, "serial", "K2")}));
        QCOMPARE(updated.size(), 2);
        QCOMPARE(updated.last().first().value<Service>().port(), quint16(2008));
        QCOMPARE(updated.last().first().value<Service>().attributes().value("serial"), QByteArray("K2"));

        server.inject(testrecords::response({testrecords::pointer(Type, Instance, 0)}));
        QCOMPARE(removed.size(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 2000);
        QCOMPARE(added.size(), 1);
    }

    void asksForServiceOfBarePointer()
    {
        FakeMdnsServer server;
        Browser browser(&server, "_udp._udp.local");
        QSignalSpy added(&browser, &Browser::serviceAdded);
        QCOMPARE(server.sent.size(), 1);
        QCOMPARE(server.sent.first().queries(), QList<Query>{Query(Type, PTR)});
        server.sent.clear();
        server.inject(testrecords::response({testrecords::pointer(Type, Instance)}));
        QTRY_COMPARE(server.sent.size(), 1);
        QCOMPARE(server.sent.first().queries(), QList<Query>({Query(Instance, SRV), Query(Instance, TXT)}));
        QCOMPARE(added.size(), 0);

        server.inject(testrecords::response({testrecords::service(Instance, "lidar.local.", 2007)}));
        QCOMPARE(added.size(), 1);
    }

    void ignoresQueriesAndOtherTypes()
    {
        FakeMdnsServer server;
        Browser browser(&server, Type);
        QSignalSpy added(&browser, &Browser::serviceAdded);
        Message query = testrecords::response(
            {testrecords::pointer(Type, Instance), testrecords::service(Instance, "lidar.local.", 2007)});
        query.setResponse(false);
        server.inject(query);
        const QByteArray other = "x._http._tcp.local.";
        server.inject(testrecords::response(
            {testrecords::pointer("_http._tcp.local.", other), testrecords::service(other, "lidar.local.", 80)}));
        // Not from the mDNS port: not a responder.
        Message foreign = testrecords::response(
            {testrecords::pointer(Type, Instance), testrecords::service(Instance, "lidar.local.", 2007)});
        foreign.setPort(5354);
        server.inject(foreign);
        QCOMPARE(added.size(), 0);
    }

    // A responder that marks its pointers for flush, with names in other letter cases.
    void keepsEveryServiceOfOneFlushingAnnouncement()
    {
        FakeMdnsServer server;
        Browser browser(&server, Type);
        QSignalSpy added(&browser, &Browser::serviceAdded);
        Message burst = testrecords::response({});
        for (const char* name : {"a", "b", "c"}) {
            Record pointer =
                testrecords::pointer("_UDP._udp.local.", QByteArray("Lidar-") + name + "._udp._udp.local.");
            pointer.setFlushCache(true);
            burst.addRecord(pointer);
            burst.addRecord(
                testrecords::service(QByteArray("lidar-") + name + "._udp._UDP.local.", "h.local.", 2007));
        }
        server.inject(burst);
        QCOMPARE(added.size(), 3);
    }

    void removesWhenServiceExpires()
    {
        FakeMdnsServer server;
        Browser browser(&server, Type);
        QSignalSpy removed(&browser, &Browser::serviceRemoved);
        server.inject(testrecords::response(
            {testrecords::pointer(Type, Instance), testrecords::service(Instance, "lidar.local.", 2007, 1)}));
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 2000);
    }

    // A second browser on the shared cache lists the known pointer, and a resolver on it
    // gets the host's address without a reply of its own.
    void sharesWhatItLearns()
    {
        FakeMdnsServer server;
        Cache cache;
        Browser browser(&server, Type, &cache);
        server.inject(testrecords::response({testrecords::pointer(Type, Instance),
                                             testrecords::service(Instance, "lidar.local.", 2007),
                                             testrecords::address("lidar.local.", "192.168.77.57"),
                                             testrecords::address("other.local.", "192.168.77.9")}));
        server.sent.clear();
        Browser second(&server, Type, &cache);
        QCOMPARE(server.sent.size(), 1);
        QCOMPARE(server.sent.first().records().size(), 1);
        QCOMPARE(server.sent.first().records().first().target(), Instance);

        Resolver resolver(&server, "lidar.local.", &cache);
        QList<QHostAddress> resolved;
        connect(&resolver, &Resolver::resolved,
                [&resolved](const QHostAddress& address) { resolved.append(address); });
        const QList<QHostAddress> expected = {QHostAddress("192.168.77.57")};
        QTRY_COMPARE_WITH_TIMEOUT(resolved, expected, 1000);
        QList<Record> unrelated;
        QVERIFY(!cache.lookupRecords("other.local.", ANY, unrelated));
    }
};

QTEST_GUILESS_MAIN(BrowserTest)
#include "test_browser.moc"
