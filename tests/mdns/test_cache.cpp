#include <QElapsedTimer>
#include <QtTest>

#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>

#include "testrecords.h"

using namespace QMdnsEngine;

class CacheTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Record>(); }

    void asksAgainThenExpiresAtTtl()
    {
        Cache cache;
        QSignalSpy asked(&cache, &Cache::shouldQuery);
        QSignalSpy expired(&cache, &Cache::recordExpired);
        QElapsedTimer clock;
        clock.start();
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57", 1));

        QVERIFY(asked.wait(1000));
        QVERIFY(clock.elapsed() >= 450);
        QTRY_COMPARE_WITH_TIMEOUT(expired.size(), 1, 1500);
        QVERIFY(clock.elapsed() >= 950);
        QCOMPARE(asked.size(), 4);
        Record record;
        QVERIFY(!cache.lookupRecord("lidar.local.", A, record));
    }

    void goodbyeRemovesAtOnce()
    {
        Cache cache;
        QSignalSpy expired(&cache, &Cache::recordExpired);
        cache.addRecord(testrecords::pointer("_udp._udp.local.", "a._udp._udp.local."));
        cache.addRecord(testrecords::pointer("_udp._udp.local.", "a._udp._udp.local.", 0));
        QCOMPARE(expired.size(), 1);
        QList<Record> records;
        QVERIFY(!cache.lookupRecords(QByteArray(), ANY, records));
    }

    void flushReplacesRecordSetOnly()
    {
        Cache cache;
        QSignalSpy expired(&cache, &Cache::recordExpired);
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57"));
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.58"));
        cache.addRecord(testrecords::address("lidar.local.", "fe80::1"));
        Record fresh = testrecords::address("lidar.local.", "192.168.77.59");
        fresh.setFlushCache(true);
        cache.addRecord(fresh);

        QList<Record> records;
        QVERIFY(cache.lookupRecords("lidar.local.", A, records));
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().address(), QHostAddress("192.168.77.59"));
        QVERIFY(cache.lookupRecords("lidar.local.", ANY, records));
        QCOMPARE(records.size(), 2);
        QCOMPARE(expired.size(), 0);
    }

    void equalRecordIsRefreshedNotDuplicated()
    {
        Cache cache;
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57", 10));
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57", 100));
        QList<Record> records;
        QVERIFY(cache.lookupRecords("lidar.local.", A, records));
        QCOMPARE(records.size(), 1);
        QVERIFY(records.first().ttl() > 90);
    }
};

QTEST_GUILESS_MAIN(CacheTest)
#include "test_cache.moc"
