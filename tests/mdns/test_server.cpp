#include "testrecords.h"

#include <qmdnsengine/dns.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/wireformat.h>

#include <QFile>
#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>
#include <QtTest>

using namespace QMdnsEngine;

// Runs inside a private network namespace (see run_in_netns.sh), where loopback carries
// multicast and nothing else is listening.
class ServerTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Message>(); }

    void sharesPortAndReachesOtherServers()
    {
        Server sender;
        Server receiver;
        QSignalSpy errors(&receiver, &Server::error);
        QSignalSpy received(&receiver, &Server::messageReceived);
        sender.sendMessageToAll(testrecords::response({testrecords::address("lidar.local.", "192.0.2.7")}));

        // Loopback may carry the IPv6 copy too; the IPv4 one must be among them.
        QTRY_VERIFY_WITH_TIMEOUT(ipv4Message(received).isResponse(), 2000);
        const Message message = ipv4Message(received);
        QCOMPARE(message.port(), MdnsPort);
        QCOMPARE(message.records().first().address(), QHostAddress("192.0.2.7"));
        QCOMPARE(errors.size(), 0);
    }

    void reportsPortHeldExclusively()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress(QHostAddress::AnyIPv4), MdnsPort, QUdpSocket::DontShareAddress));
        Server server;
        QSignalSpy errors(&server, &Server::error);
        QVERIFY(errors.wait(2000));
    }

    void dropsUndecodableDatagrams()
    {
        Server server;
        QSignalSpy received(&server, &Server::messageReceived);
        QUdpSocket raw;
        raw.writeDatagram(QByteArray::fromHex("0000840000010000c00c"), MdnsIpv4Address, MdnsPort);
        Message valid;
        valid.setTransactionId(42);
        raw.writeDatagram(encodeMessage(valid), MdnsIpv4Address, MdnsPort);

        QVERIFY(received.wait(2000));
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first().first().value<Message>().transactionId(), quint16(42));
    }

    void unicastsToMessageAddress()
    {
        QUdpSocket peer;
        QVERIFY(peer.bind(QHostAddress(QHostAddress::LocalHost)));
        Server server;
        Message message = testrecords::response({testrecords::pointer("_udp._udp.local.", "a._udp._udp.local.")});
        message.setAddress(QHostAddress::LocalHost);
        message.setPort(peer.localPort());
        server.sendMessage(message);

        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 2000);
        const QNetworkDatagram datagram = peer.receiveDatagram();
        QCOMPARE(datagram.senderPort(), int(MdnsPort));
        Message decoded;
        QVERIFY(decodeMessage(datagram.data(), decoded));
        QCOMPARE(decoded.records().first().target(), QByteArray("a._udp._udp.local."));
    }

    // The kernel lists group memberships per interface; 224.0.0.251 reads as FB0000E0.
    void joinsInterfacesThatAppearLater()
    {
        Server server;
        QCOMPARE(QProcess::execute("sh", {"-c", "ip link add kesveth0 type veth peer name kesveth1"
                                                " && ip addr add 192.0.2.1/24 dev kesveth0"
                                                " && ip link set kesveth1 up"
                                                " && ip link set kesveth0 up"}),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(joinedOn("kesveth0"), 8000);
    }

private:
    static Message ipv4Message(const QSignalSpy& received)
    {
        for (const QList<QVariant>& arguments : received) {
            const Message message = arguments.first().value<Message>();
            if (message.address() == QHostAddress(QHostAddress::LocalHost)) {
                return message;
            }
        }
        return Message();
    }

    static bool joinedOn(const QByteArray& interface)
    {
        QFile igmp("/proc/net/igmp");
        if (!igmp.open(QIODevice::ReadOnly)) {
            return false;
        }
        bool inInterface = false;
        for (const QByteArray& line : igmp.readAll().split('\n')) {
            if (!line.startsWith('\t')) {
                inInterface = line.simplified().split(' ').value(1) == interface;
            } else if (inInterface && line.contains("FB0000E0")) {
                return true;
            }
        }
        return false;
    }
};

QTEST_GUILESS_MAIN(ServerTest)
#include "test_server.moc"
