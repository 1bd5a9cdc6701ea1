#include <QtTest>

#include "testrecords.h"

#include <qmdnsengine/dns.h>
#include <qmdnsengine/wireformat.h>

using namespace QMdnsEngine;

namespace {

QByteArray header(quint16 questions, quint16 answers, quint16 authority = 0, quint16 additional = 0)
{
    const quint16 fields[] = {0, 0x8400, questions, answers, authority, additional};
    QByteArray bytes;
    for (quint16 field : fields) {
        bytes.append(static_cast<char>(field >> 8)).append(static_cast<char>(field));
    }
    return bytes;
}

// Type, class IN, TTL 120, then the data length.
QByteArray recordTail(quint16 type, quint16 length)
{
    return QByteArray::fromHex(QByteArray::number(type, 16).rightJustified(4, '0') + "00010000007800"
                               + QByteArray::number(length, 16).rightJustified(2, '0'));
}

const QByteArray LocalName = QByteArray::fromHex("056c6f63616c00"); // "local."
const QByteArray Type = "_udp._udp.local.";
const QByteArray Instance = "a._udp._udp.local.";

} // namespace

class WireFormatTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void responseRoundTrips()
    {
        Record txt = testrecords::text(Instance, "serial", "K1");
        txt.addAttribute("flag", QByteArray());
        txt.addAttribute("empty", "");
        const Message sent = testrecords::response({
            testrecords::pointer(Type, Instance),
            testrecords::service(Instance, "lidar.local.", 2007),
            txt,
            testrecords::address("lidar.local.", "192.168.77.57"),
            testrecords::address("lidar.local.", "fe80::1"),
        });
        Message withQuery = sent;
        Query query(Type, PTR);
        query.setUnicastResponse(true);
        withQuery.addQuery(query);
        withQuery.setTransactionId(0x1234);
        const QByteArray packet = encodeMessage(withQuery);
        QCOMPARE(packet.mid(2, 2), QByteArray::fromHex("8400"));

        Message decoded;
        QVERIFY(decodeMessage(packet, decoded));
        QVERIFY(decoded.isResponse());
        QCOMPARE(decoded.transactionId(), quint16(0x1234));
        QCOMPARE(decoded.queries(), QList<Query>{query});
        QCOMPARE(decoded.records().size(), sent.records().size());
        for (int i = 0; i < sent.records().size(); ++i) {
            const Record& expected = sent.records().at(i);
            const Record& actual = decoded.records().at(i);
            QVERIFY2(actual == expected, qPrintable(QString::number(i)));
            QCOMPARE(actual.ttl(), expected.ttl());
            QCOMPARE(actual.flushCache(), expected.flushCache());
        }
        const QMap<QByteArray, QByteArray> attributes = decoded.records().at(2).attributes();
        QVERIFY(attributes.value("flag").isNull());
        QVERIFY(!attributes.value("empty").isNull());
    }

    // An SRV answer whose target points back at the question's name, an unknown type that
    // is skipped, and an address in the additional section.
    void decodesCompressedNamesAndAllSections()
    {
        QByteArray packet = header(1, 2, 0, 1);
        packet += QByteArray::fromHex("056c69646172") + LocalName + QByteArray::fromHex("00010001");
        packet += QByteArray::fromHex("c00c") + recordTail(SRV, 8) + QByteArray::fromHex("000000000007c00c");
        packet += QByteArray::fromHex("c00c") + recordTail(NSEC, 2) + QByteArray::fromHex("0000");
        packet += QByteArray::fromHex("c012") + recordTail(A, 4) + QByteArray::fromHex("c0a84d39");

        Message decoded;
        QVERIFY(decodeMessage(packet, decoded));
        QCOMPARE(decoded.queries().first().name(), QByteArray("lidar.local."));
        QCOMPARE(decoded.records().size(), 2);
        QCOMPARE(decoded.records().at(0).target(), QByteArray("lidar.local."));
        QCOMPARE(decoded.records().at(0).port(), quint16(7));
        QCOMPARE(decoded.records().at(1).name(), QByteArray("local."));
        QCOMPARE(decoded.records().at(1).address(), QHostAddress("192.168.77.57"));
    }

    void dropsMalformedPackets_data()
    {
        QTest::addColumn<QByteArray>("packet");
        const QByteArray question = QByteArray::fromHex("00010001");
        QTest::newRow("short header") << QByteArray::fromHex("000084000001");
        QTest::newRow("compression loop") << header(1, 0) + QByteArray::fromHex("c00c") + question;
        QTest::newRow("pointer chain loop")
            << header(2, 0) + LocalName + question + QByteArray::fromHex("03616263c017") + question;
        QTest::newRow("forward pointer") << header(1, 0) + QByteArray::fromHex("c012") + question + LocalName;
        QTest::newRow("oversized counts") << header(0xffff, 0) + LocalName + question;
        QTest::newRow("label over 63") << header(1, 0) + QByteArray(1, '\x40') + QByteArray(64, 'a') + '\0'
                                              + question;
        QByteArray longName;
        for (int i = 0; i < 5; ++i) {
            longName += QByteArray(1, '\x3f') + QByteArray(63, 'a');
        }
        QTest::newRow("name over 255") << header(1, 0) + longName + '\0' + question;
        QTest::newRow("truncated rdata")
            << header(0, 1) + LocalName + recordTail(A, 4) + QByteArray::fromHex("0102");
        QTest::newRow("short address") << header(0, 1) + LocalName + recordTail(A, 3)
                                              + QByteArray::fromHex("010203");
        QTest::newRow("txt past rdata") << header(0, 1) + LocalName + recordTail(TXT, 2)
                                               + QByteArray::fromHex("05616263");
        QTest::newRow("ptr past rdata") << header(0, 1) + LocalName + recordTail(PTR, 2) + LocalName;
        const QByteArray answer = header(0, 1) + LocalName + recordTail(A, 4) + QByteArray::fromHex("c0a84d39");
        QTest::newRow("opcode 1") << QByteArray::fromHex("00008c00") + answer.mid(4);
        QTest::newRow("rcode 3") << QByteArray::fromHex("00008403") + answer.mid(4);
    }

    void dropsMalformedPackets()
    {
        QFETCH(QByteArray, packet);
        Message message;
        message.setTransactionId(77);
        QVERIFY(!decodeMessage(packet, message));
        QCOMPARE(message.transactionId(), quint16(77));
    }

    void replyGoesToGroupOrSender()
    {
        Message query;
        query.setTransactionId(9);
        query.setAddress(QHostAddress("fe80::2"));
        query.setPort(MdnsPort);
        Message answer;
        answer.reply(query);
        QCOMPARE(answer.address(), MdnsIpv6Address);
        QVERIFY(answer.isResponse());

        query.setAddress(QHostAddress("127.0.0.1"));
        query.setPort(40000);
        answer.reply(query);
        QCOMPARE(answer.address(), QHostAddress("127.0.0.1"));
        QCOMPARE(answer.port(), quint16(40000));
        QCOMPARE(answer.transactionId(), quint16(9));
    }
};

QTEST_GUILESS_MAIN(WireFormatTest)
#include "test_wireformat.moc"
