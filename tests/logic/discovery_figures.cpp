// Usage: discovery_figures [KESTRA_CLI]   (inside a private network namespace)
// One 65 KB mDNS response of 3,270 PTR records handed to the logic's discovery: how long the
// handling holds the event loop and how many query messages and questions it sets off. With
// the path of kestra-cli: the wall time of "discover --seconds 3" while six such packets
// arrive 0.4 s apart on the mDNS group, each
// naming other instances.
#include "fake_mdns_server.h"
#include "flood_packet.h"

#include <lidar_logic.h>

#include <qmdnsengine/dns.h>
#include <qmdnsengine/wireformat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>

namespace {

int questions(const QList<QMdnsEngine::Message>& sent)
{
    int n = 0;
    for (const QMdnsEngine::Message& message : sent)
        n += message.queries().size();
    return n;
}

void inProcess(const QByteArray& packet)
{
    FakeMdnsServer server;
    LidarLogic logic(&server);
    logic.findChild<QTimer*>(QStringLiteral("mdns_timer_"))->stop();
    server.sent.clear();
    QElapsedTimer clock;
    clock.start();
    QMdnsEngine::Message message;
    const bool decoded = QMdnsEngine::decodeMessage(packet, message);
    message.setAddress(QHostAddress(QStringLiteral("192.168.77.57")));
    message.setPort(QMdnsEngine::MdnsPort);
    server.inject(message);
    const qint64 handled = clock.elapsed();
    clock.restart();
    QCoreApplication::processEvents();
    const qint64 queued = clock.elapsed();
    std::printf("packet bytes %d, decoded %s, records %d\n", int(packet.size()), decoded ? "yes" : "no",
                int(message.records().size()));
    std::printf("event loop held by the packet: %lld ms (then %lld ms of queued work)\n", handled, queued);
    std::printf("query messages sent: %d, questions: %d\n", int(server.sent.size()), questions(server.sent));
}

void cliWallTime(const QString& cli)
{
    QUdpSocket sender;
    if (!sender.bind(QHostAddress::AnyIPv4, QMdnsEngine::MdnsPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint)) {
        std::printf("cannot bind the mDNS port: %s\n", qPrintable(sender.errorString()));
        return;
    }
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(cli, {"discover", "--seconds", "3"});
    process.waitForStarted();
    QTest::qWait(300);
    for (int i = 0; i < 6; ++i) {
        sender.writeDatagram(floodPacket(10000 + 3270 * i), QMdnsEngine::MdnsIpv4Address, QMdnsEngine::MdnsPort);
        QTest::qWait(400);
    }
    process.waitForFinished(120000);
    std::printf("kestra-cli discover --seconds 3 with six packets 0.4 s apart: %.1f s (exit %d)\n",
                double(clock.elapsed()) / 1000.0, process.exitCode());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    inProcess(floodPacket());
    if (argc > 1)
        cliWallTime(QString::fromLocal8Bit(argv[1]));
    return 0;
}
