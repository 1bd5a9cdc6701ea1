#include "testrecords.h"

#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>

#include <QElapsedTimer>
#include <QtTest>

using namespace QMdnsEngine;

class CacheTest : public QObject {
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

    void goodbyeRemovesAfterOneSecond()
    {
        Cache cache;
        QSignalSpy expired(&cache, &Cache::recordExpired);
        QElapsedTimer clock;
        clock.start();
        cache.addRecord(testrecords::pointer("_udp._udp.local.", "a._udp._udp.local."));
        cache.addRecord(testrecords::pointer("_UDP._udp.local.", "A._udp._udp.local.", 0));
        QList<Record> records;
        QVERIFY(cache.lookupRecords("_udp._udp.local.", PTR, records));
        QCOMPARE(records.first().ttl(), 1u);
        QVERIFY(expired.wait(1500));
        QVERIFY(clock.elapsed() >= 950);
        QVERIFY(!cache.lookupRecords(QByteArray(), ANY, records));
    }

    // Records of a set received within the last second are one announcement: a flush
    // replaces only what is older.
    void flushSparesTheLastSecondAndOtherSets()
    {
        Cache cache;
        QSignalSpy expired(&cache, &Cache::recordExpired);
        const auto flushing = [](const QString& address) {
            Record record = testrecords::address("Lidar.local.", address);
            record.setFlushCache(true);
            return record;
        };
        cache.addRecord(testrecords::address("lidar.local.", "192.168.77.57"));
        cache.addRecord(testrecords::address("lidar.local.", "fe80::1"));
        cache.addRecord(flushing("192.168.77.58"));
        cache.addRecord(flushing("192.168.77.59"));
        QList<Record> records;
        QVERIFY(cache.lookupRecords("lidar.local.", A, records));
        QCOMPARE(records.size(), 3);

        QTest::qWait(1100);
        cache.addRecord(flushing("192.168.77.60"));
        cache.addRecord(flushing("192.168.77.61"));
        QVERIFY(cache.lookupRecords("LIDAR.local.", A, records));
        QCOMPARE(records.size(), 2);
        QCOMPARE(records.first().address(), QHostAddress("192.168.77.60"));
        QVERIFY(cache.lookupRecords("lidar.local.", ANY, records));
        QCOMPARE(records.size(), 3);
        QCOMPARE(expired.size(), 0);
    }

    void holdsAtMostItsBoundOldestOut()
    {
        Cache cache;
        QSignalSpy expired(&cache, &Cache::recordExpired);
        for (int i = 0; i <= Cache::MaxEntries; ++i) {
            cache.addRecord(testrecords::address(QByteArray::number(i) + ".local.", "192.168.77.57"));
        }
        QCOMPARE(expired.size(), 1);
        QCOMPARE(expired.first().first().value<Record>().name(), QByteArray("0.local."));
        QList<Record> records;
        QVERIFY(cache.lookupRecords(QByteArray(), ANY, records));
        QCOMPARE(records.size(), Cache::MaxEntries);
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
