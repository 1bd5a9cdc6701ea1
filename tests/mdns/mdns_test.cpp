#include <kes_test/fake_mdns_server.h>
#include <kes_test/qt_support.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/service.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMap>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSignalSpy>
#include <QUdpSocket>

// Runs inside a private network namespace, where loopback carries multicast and nothing else
// listens.
using namespace QMdnsEngine;
using namespace kes_test::mdns;
using kes_test::waitFor;

namespace {

const QByteArray kType = "_udp._udp.local.";
const QByteArray kInstance = "lidar-a._udp._udp.local.";
const QByteArray kLocal = QByteArray::fromHex("056c6f63616c00"); // "local."

QByteArray header(quint16 questions, quint16 answers, quint16 authority = 0, quint16 additional = 0)
{
    QByteArray bytes;
    for (quint16 field : {quint16(0), quint16(0x8400), questions, answers, authority, additional})
        bytes.append(char(field >> 8)).append(char(field));
    return bytes;
}

// Type, class IN, TTL 120, then the data length.
QByteArray recordTail(quint16 type, quint16 length)
{
    return QByteArray::fromHex(QByteArray::number(type, 16).rightJustified(4, '0') + "00010000007800"
                               + QByteArray::number(length, 16).rightJustified(2, '0'));
}

QList<Record> lookup(const Cache& cache, const QByteArray& name, quint16 type)
{
    QList<Record> records;
    cache.lookupRecords(name, type, records);
    return records;
}

// What nobody should take for an answer: `m` as a query, or from a port other than mDNS's.
Message stray(Message m, bool asQuery)
{
    asQuery ? m.setResponse(false) : m.setPort(5354);
    return m;
}

// The IPv4 copy among what arrived (loopback may carry an IPv6 one too).
Message ipv4Message(const QSignalSpy& received)
{
    for (const QList<QVariant>& arguments : received)
        if (arguments.first().value<Message>().address() == QHostAddress(QHostAddress::LocalHost))
            return arguments.first().value<Message>();
    return Message();
}

} // namespace

TEST(WireFormat, ResponsesRoundTripWithFlagsTtlsAndEmptyOrNullAttributesAndReplyToTheirSender)
{
    Record txt = text(kInstance, "serial", "K1");
    txt.addAttribute("flag", QByteArray());
    txt.addAttribute("empty", "");
    Message sent = response({pointer(kType, kInstance), service(kInstance, "lidar.local.", 2007), txt,
                             address("lidar.local.", "192.168.77.57"), address("lidar.local.", "fe80::1")});
    Query query(kType, PTR);
    query.setUnicastResponse(true);
    sent.addQuery(query);
    sent.setTransactionId(0x1234);
    const QByteArray packet = encodeMessage(sent);
    EXPECT_EQ(packet.mid(2, 2), QByteArray::fromHex("8400"));

    Message decoded;
    ASSERT_TRUE(decodeMessage(packet, decoded));
    EXPECT_TRUE(decoded.isResponse());
    EXPECT_EQ(decoded.transactionId(), 0x1234);
    EXPECT_EQ(decoded.queries(), QList<Query>{query});
    ASSERT_EQ(decoded.records().size(), sent.records().size());
    for (int i = 0; i < sent.records().size(); ++i) {
        const Record got = decoded.records()[i], put = sent.records()[i];
        EXPECT_TRUE(got == put && got.ttl() == put.ttl() && got.flushCache() == put.flushCache()) << i;
    }
    EXPECT_TRUE(decoded.records()[2].attributes().value("flag").isNull());
    EXPECT_FALSE(decoded.records()[2].attributes().value("empty").isNull());

    // A reply goes to the group, or to a sender off the mDNS port.
    decoded.setAddress(QHostAddress("fe80::2"));
    decoded.setPort(MdnsPort);
    Message answer;
    answer.reply(decoded);
    EXPECT_TRUE(answer.isResponse() && answer.address() == MdnsIpv6Address);
    decoded.setAddress(QHostAddress("127.0.0.1"));
    decoded.setPort(40000);
    answer.reply(decoded);
    EXPECT_EQ(std::make_tuple(answer.address(), answer.port(), answer.transactionId()),
              std::make_tuple(QHostAddress("127.0.0.1"), quint16(40000), quint16(0x1234)));
}

TEST(WireFormat, DecodesCompressedNamesAndAllSectionsAndDropsMalformedPacketsLeavingTheMessageAlone)
{
    // An SRV answer whose target points back at the question's name, an unknown type that is
    // skipped, and an address in the additional section.
    QByteArray compressed =
        header(1, 2, 0, 1) + QByteArray::fromHex("056c69646172") + kLocal + QByteArray::fromHex("00010001");
    compressed += QByteArray::fromHex("c00c") + recordTail(SRV, 8) + QByteArray::fromHex("000000000007c00c");
    compressed += QByteArray::fromHex("c00c") + recordTail(NSEC, 2) + QByteArray::fromHex("0000");
    compressed += QByteArray::fromHex("c012") + recordTail(A, 4) + QByteArray::fromHex("c0a84d39");
    Message decoded;
    ASSERT_TRUE(decodeMessage(compressed, decoded));
    EXPECT_EQ(decoded.queries().first().name(), "lidar.local.");
    ASSERT_EQ(decoded.records().size(), 2);
    EXPECT_EQ(decoded.records()[0].target(), "lidar.local.");
    EXPECT_EQ(decoded.records()[0].port(), 7);
    EXPECT_EQ(decoded.records()[1].name(), "local.");
    EXPECT_EQ(decoded.records()[1].address(), QHostAddress("192.168.77.57"));
    const QByteArray question = QByteArray::fromHex("00010001");
    QByteArray longName;
    for (int i = 0; i < 5; ++i)
        longName += QByteArray(1, '\x3f') + QByteArray(63, 'a');
    const QByteArray answer = header(0, 1) + kLocal + recordTail(A, 4) + QByteArray::fromHex("c0a84d39");
    const std::pair<const char*, QByteArray> packets[] = {
        {"short header", QByteArray::fromHex("000084000001")},
        {"compression loop", header(1, 0) + QByteArray::fromHex("c00c") + question},
        {"pointer chain loop", header(2, 0) + kLocal + question + QByteArray::fromHex("03616263c017") + question},
        {"forward pointer", header(1, 0) + QByteArray::fromHex("c012") + question + kLocal},
        {"oversized counts", header(0xffff, 0) + kLocal + question},
        {"label over 63", header(1, 0) + QByteArray(1, '\x40') + QByteArray(64, 'a') + '\0' + question},
        {"name over 255", header(1, 0) + longName + '\0' + question},
        {"truncated rdata", header(0, 1) + kLocal + recordTail(A, 4) + QByteArray::fromHex("0102")},
        {"short address", header(0, 1) + kLocal + recordTail(A, 3) + QByteArray::fromHex("010203")},
        {"txt past rdata", header(0, 1) + kLocal + recordTail(TXT, 2) + QByteArray::fromHex("05616263")},
        {"ptr past rdata", header(0, 1) + kLocal + recordTail(PTR, 2) + kLocal},
        {"opcode 1", QByteArray::fromHex("00008c00") + answer.mid(4)},
        {"rcode 3", QByteArray::fromHex("00008403") + answer.mid(4)},
    };
    for (const auto& [what, packet] : packets) {
        Message message;
        message.setTransactionId(77);
        EXPECT_FALSE(decodeMessage(packet, message)) << what;
        EXPECT_EQ(message.transactionId(), 77) << what;
    }
}

TEST(MdnsCache, AsksAgainExpiresAtTheTtlAGoodbyeAfterOneSecondAndHoldsAtMostItsBound)
{
    qRegisterMetaType<Record>();
    Cache cache;
    QSignalSpy asked(&cache, &Cache::shouldQuery);
    QSignalSpy expired(&cache, &Cache::recordExpired);
    QElapsedTimer clock;
    clock.start();
    cache.addRecord(address("lidar.local.", "192.168.77.57", 1));
    cache.addRecord(pointer(kType, kInstance));
    cache.addRecord(pointer("_UDP._udp.local.", "LIDAR-A._udp._udp.local.", 0));
    EXPECT_EQ(lookup(cache, kType, PTR).value(0).ttl(), 1u);
    ASSERT_TRUE(asked.wait(kes_test::scaled(1000)));
    EXPECT_GE(clock.elapsed(), 450);
    ASSERT_TRUE(waitFor([&] { return expired.size() == 2; }, 1500));
    EXPECT_GE(clock.elapsed(), 950);
    EXPECT_EQ(asked.size(), 4);
    EXPECT_TRUE(lookup(cache, QByteArray(), ANY).isEmpty());

    // An equal record refreshes the one held; past the bound, the oldest goes.
    cache.addRecord(address("0.local.", "192.168.77.57", 10));
    cache.addRecord(address("0.local.", "192.168.77.57", 100));
    ASSERT_EQ(lookup(cache, "0.local.", A).size(), 1);
    EXPECT_GT(lookup(cache, "0.local.", A).first().ttl(), 90u);
    for (int i = 1; i <= Cache::MaxEntries; ++i)
        cache.addRecord(address(QByteArray::number(i) + ".local.", "192.168.77.57"));
    ASSERT_EQ(expired.size(), 3);
    EXPECT_EQ(expired.last().first().value<Record>().name(), "0.local.");
    EXPECT_EQ(lookup(cache, QByteArray(), ANY).size(), Cache::MaxEntries);
}

// Records of a set received within the last second are one announcement: a flush replaces
// only what is older, and only records of its own name and type.
TEST(MdnsCache, AFlushSparesTheLastSecondAndOtherSets)
{
    Cache cache;
    QSignalSpy expired(&cache, &Cache::recordExpired);
    const auto flushing = [](const QString& ip) {
        Record record = address("Lidar.local.", ip);
        record.setFlushCache(true);
        return record;
    };
    cache.addRecord(address("lidar.local.", "192.168.77.57"));
    cache.addRecord(address("lidar.local.", "fe80::1"));
    QTest::qWait(50);
    cache.addRecord(flushing("192.168.77.58"));
    cache.addRecord(flushing("192.168.77.59"));
    EXPECT_EQ(lookup(cache, "lidar.local.", A).size(), 3);
    QTest::qWait(1100);
    cache.addRecord(flushing("192.168.77.60"));
    cache.addRecord(flushing("192.168.77.61"));
    const QList<Record> left = lookup(cache, "LIDAR.local.", A);
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(left.first().address(), QHostAddress("192.168.77.60"));
    EXPECT_EQ(lookup(cache, "lidar.local.", ANY).size(), 3);
    EXPECT_EQ(expired.size(), 0);
}

// A bare pointer has the service asked for.
TEST(MdnsBrowser, AsksForAServiceFollowsItAndLetsItGo)
{
    qRegisterMetaType<Service>("QMdnsEngine::Service");
    kes_test::FakeMdnsServer server;
    Browser browser(&server, "_udp._udp.local");
    QSignalSpy added(&browser, &Browser::serviceAdded);
    QSignalSpy updated(&browser, &Browser::serviceUpdated);
    QSignalSpy removed(&browser, &Browser::serviceRemoved);
    ASSERT_EQ(server.sent.size(), 1);
    EXPECT_EQ(server.sent.first().queries(), QList<Query>{Query(kType, PTR)});
    const Message lidar = response({pointer(kType, kInstance), service(kInstance, "lidar.local.", 2007)});
    const QByteArray other = "x._http._tcp.local.";
    for (const Message& m : {stray(lidar, true), stray(lidar, false),
                             response({pointer("_http._tcp.local.", other), service(other, "h.", 80)})})
        server.inject(m);
    EXPECT_EQ(added.size(), 0);

    server.sent.clear();
    server.inject(response({pointer(kType, kInstance)}));
    ASSERT_TRUE(waitFor([&] { return server.sent.size() == 1; }));
    EXPECT_EQ(server.sent.first().queries(), QList<Query>({Query(kInstance, SRV), Query(kInstance, TXT)}));
    EXPECT_EQ(added.size(), 0);
    server.inject(response({text(kInstance, "serial", "K1"), service(kInstance, "lidar.local.", 2007)}));
    ASSERT_EQ(added.size(), 1);
    const Service found = added.first().first().value<Service>();
    EXPECT_EQ(std::make_tuple(found.type(), found.name(), found.hostname(), found.port(), found.attributes()),
              std::make_tuple(kType, QByteArray("lidar-a"), QByteArray("lidar.local."), quint16(2007),
                              QMap<QByteArray, QByteArray>{{"serial", "K1"}}));

    server.inject(response({service(kInstance, "lidar.local.", 2007)}));
    EXPECT_EQ(updated.size(), 0);
    server.inject(response({service(kInstance, "lidar.local.", 2008)}));
    server.inject(response({text(kInstance, "serial", "K2")}));
    ASSERT_EQ(updated.size(), 2);
    EXPECT_EQ(updated.last().first().value<Service>().port(), 2008);
    EXPECT_EQ(updated.last().first().value<Service>().attributes().value("serial"), "K2");

    server.inject(response({pointer(kType, kInstance, 0)}));
    EXPECT_EQ(removed.size(), 0);
    EXPECT_TRUE(waitFor([&] { return removed.size() == 1; }, 2000));
    server.inject(response({pointer(kType, "b._udp._udp.local."), service("b._udp._udp.local.", "b.local.", 1, 1)}));
    EXPECT_TRUE(waitFor([&] { return removed.size() == 2; }, 2000)) << "the service's record expired";
    EXPECT_EQ(added.size(), 2);
}

// The resolver reports a cached address on the next turn of the loop, after its question,
// because its caller connects only after construction.
TEST(MdnsBrowser, SharesWhatItLearnsThroughTheCacheWithTheResolver)
{
    kes_test::FakeMdnsServer server;
    Cache cache;
    Browser browser(&server, kType, &cache);
    server.inject(response({pointer(kType, kInstance), service(kInstance, "lidar.local.", 2007),
                            address("lidar.local.", "192.168.77.57"), address("other.local.", "192.168.77.9")}));
    server.sent.clear();
    Browser second(&server, kType, &cache);
    ASSERT_EQ(server.sent.size(), 1);
    ASSERT_EQ(server.sent.first().records().size(), 1);
    EXPECT_EQ(server.sent.first().records().first().target(), kInstance);

    Resolver resolver(&server, "lidar.local", &cache);
    QList<QHostAddress> resolved; // no QSignalSpy: QHostAddress is no declared meta-type
    QObject::connect(&resolver, &Resolver::resolved, [&](const QHostAddress& a) { resolved << a; });
    EXPECT_TRUE(resolved.isEmpty());
    EXPECT_EQ(server.sent.last().queries(), QList<Query>({Query("lidar.local.", A), Query("lidar.local.", AAAA)}));
    EXPECT_TRUE(waitFor([&] { return resolved == QList<QHostAddress>{QHostAddress("192.168.77.57")}; }, 1000));
    server.inject(response({address("lidar.local.", "192.168.77.57"), address("LiDAR.Local.", "fe80::1"),
                            address("other.local.", "192.168.77.9")}));
    for (const Message& m : {stray(response({address("lidar.local.", "192.168.77.8")}), true),
                             stray(response({address("lidar.local.", "192.168.77.7")}), false),
                             response({address("lidar.local.", "fe80::1")})})
        server.inject(m);
    QTest::qWait(50);
    EXPECT_EQ(resolved, QList<QHostAddress>({QHostAddress("192.168.77.57"), QHostAddress("fe80::1")}));
    EXPECT_TRUE(lookup(cache, "other.local.", ANY).isEmpty());
    // A host the browser does not know reaches the cache through its resolver alone.
    Resolver solo(&server, "solo.local", &cache);
    server.inject(response({address("solo.local.", "192.168.77.3")}));
    EXPECT_EQ(lookup(cache, "solo.local.", A).size(), 1);

    // A flood of pointers is cut at the per-message bound, well below the cache's own.
    Message flood = response({});
    for (int i = 0; i < 300; ++i)
        flood.addRecord(pointer(kType, "n" + QByteArray::number(i) + "." + kType));
    server.inject(flood);
    EXPECT_EQ(lookup(cache, kType, PTR).size(), 1 + 256);
}

TEST(MdnsServer, SharesThePortDropsWhatDoesNotDecodeAndUnicastsFromTheMdnsPort)
{
    qRegisterMetaType<Message>();
    Server sender;
    Server receiver;
    QSignalSpy errors(&receiver, &Server::error);
    QSignalSpy received(&receiver, &Server::messageReceived);
    QUdpSocket raw;
    raw.writeDatagram(QByteArray::fromHex("0000840000010000c00c"), MdnsIpv4Address, MdnsPort);
    sender.sendMessageToAll(response({address("lidar.local.", "192.0.2.7")}));
    ASSERT_TRUE(waitFor([&] { return ipv4Message(received).isResponse(); }, 2000));
    EXPECT_EQ(ipv4Message(received).port(), MdnsPort);
    EXPECT_EQ(ipv4Message(received).records().first().address(), QHostAddress("192.0.2.7"));
    EXPECT_EQ(errors.size(), 0);
    QTest::qWait(50);
    for (const QList<QVariant>& arguments : received)
        EXPECT_EQ(arguments.first().value<Message>().records().size(), 1);

    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress(QHostAddress::LocalHost)));
    Message message = response({pointer("_udp._udp.local.", "a._udp._udp.local.")});
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
    const QStringList joined = {"-c", "ip maddr show dev kesveth0 | grep -q 224.0.0.251"};
    EXPECT_TRUE(waitFor([&] { return QProcess::execute("sh", joined) == 0; }, 8000));
}

// The client half of avahi_discovery.sh, run in its client namespace. KES_PROBE_SERVICES
// lists what the responder announces, as "port=address" pairs separated by spaces.
TEST(AvahiProbe, DiscoversAndResolvesEveryAnnouncedServiceOnce)
{
    QMap<quint16, QHostAddress> expected;
    for (const QByteArray& pair : qgetenv("KES_PROBE_SERVICES").split(' '))
        if (pair.split('=').size() == 2)
            expected.insert(pair.split('=')[0].toUShort(), QHostAddress(QString::fromLatin1(pair.split('=')[1])));
    if (expected.isEmpty())
        GTEST_SKIP() << "run by avahi_discovery.sh, which sets KES_PROBE_SERVICES";

    Server server;
    Cache cache;
    Browser browser(&server, kType, &cache);
    QMap<quint16, Service> found;
    QObject::connect(&browser, &Browser::serviceAdded,
                     [&](const Service& service) { found[service.port()] = service; });
    ASSERT_TRUE(waitFor([&] { return found.keys() == expected.keys(); }, 8000));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const Service service = found.value(it.key());
        EXPECT_EQ(service.type(), kType);
        Resolver resolver(&server, service.hostname(), &cache);
        QList<QHostAddress> addresses;
        QObject::connect(&resolver, &Resolver::resolved, [&](const QHostAddress& address) { addresses << address; });
        EXPECT_TRUE(waitFor([&] { return addresses.contains(it.value()); }, 5000)) << it.key();
        EXPECT_EQ(addresses.count(it.value()), 1) << it.key();
    }
}
