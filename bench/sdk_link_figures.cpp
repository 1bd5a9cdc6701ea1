// Usage: sdk_link_figures [KESTRA_CLI]   (inside a private network namespace)
// Each figure beside its baseline from the same run:
// 1. One 65 KB mDNS response of 3,270 PTR records handed to the logic's discovery: how long
//    the handling holds the event loop (baseline: decoding the packet alone) and how many
//    query messages and questions it sets off.
// 2. A lidar on loopback that answers every request but, once asked to stream, sends only scan
//    datagrams of a foreign index (7): how long a disconnect takes at the default time-outs
//    (baseline: the same lidar streaming whole revolutions).
// With the path of kestra-cli also: the wall time of "discover --seconds 3" while six such
// responses (each naming other instances) arrive 0.4 s apart (baseline: nothing arrives), and
// of "info" against the two lidars.
#include "fake_peer.h"
#include "flood_packet.h"

#include <kes_logic/lidar_logic.h>
#include <kes_sdk/command_codes.h>
#include <kes_test/fake_mdns_server.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/wireformat.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>

namespace {

double seconds(const QElapsedTimer& clock)
{
    return double(clock.nsecsElapsed()) / 1e9;
}

void discoveryOfOneFlood()
{
    const QByteArray packet = floodPacket();
    QElapsedTimer clock;
    clock.start();
    QMdnsEngine::Message message;
    QMdnsEngine::decodeMessage(packet, message);
    const double decoding = seconds(clock);

    kes_test::FakeMdnsServer server;
    LidarLogic logic(&server);
    logic.findChild<QTimer*>(QStringLiteral("mdns_timer_"))->stop();
    server.sent.clear();
    clock.restart();
    QMdnsEngine::decodeMessage(packet, message);
    message.setPort(QMdnsEngine::MdnsPort);
    server.inject(message);
    const double held = seconds(clock);
    clock.restart();
    QCoreApplication::processEvents();
    int questions = 0;
    for (const QMdnsEngine::Message& sent : server.sent)
        questions += sent.queries().size();
    std::printf("one response of %d records in %d bytes: event loop held %.1f ms (decoding alone %.1f ms), "
                "then %.1f ms; %d query messages, %d questions\n",
                int(message.records().size()), int(packet.size()), held * 1e3, decoding * 1e3, seconds(clock) * 1e3,
                int(server.sent.size()), questions);
}

double cliDiscover(const QString& cli, int floods)
{
    QUdpSocket sender;
    if (!sender.bind(QHostAddress::AnyIPv4, QMdnsEngine::MdnsPort,
                     QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint))
        std::printf("cannot bind the mDNS port: %s\n", qPrintable(sender.errorString()));
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(cli, {"discover", "--seconds", "3"});
    process.waitForStarted();
    QTest::qWait(300);
    for (int i = 0; i < floods; ++i) {
        sender.writeDatagram(floodPacket(10000 + 3270 * i), QMdnsEngine::MdnsIpv4Address, QMdnsEngine::MdnsPort);
        QTest::qWait(400);
    }
    process.waitForFinished(120000);
    return seconds(clock);
}

// What a lidar answers: writes succeed, numeric reads give 10, text reads "A1.0".
Bytes deviceAnswer(const Bytes& request)
{
    const uint16_t code = codeOf(request);
    Bytes text{'A', '1', '.', '0'};
    text.resize(16, 0);
    if (!kes_sdk::isReadCommand(code))
        return response(code, 0);
    return response(code, 0, kes_sdk::isStringRead(code) ? text : kes_sdk::payloadU32(10));
}

// Streams scan datagrams of `blocks` (rate code 6) from a host of its own to `to`, over and
// over for at most `seconds`.
class ScanStreamer {
public:
    ScanStreamer(const Endpoint& to, std::vector<uint8_t> blocks, int seconds)
        : thread_([=] {
              const auto end = Clock::now() + std::chrono::seconds(seconds);
              while (!stop_ && Clock::now() < end) {
                  for (uint8_t b : blocks)
                      socket_.send_to(asio::buffer(scanDatagram(6, b, 1, 192)), to);
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {
    }
    ~ScanStreamer()
    {
        stop_ = true;
        thread_.join();
    }

private:
    asio::io_context io_;
    asio::ip::udp::socket socket_{io_, loopback()};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Answers as a lidar; once asked to stream, sends `blocks` over and over for a minute.
class StreamingLidar {
public:
    explicit StreamingLidar(std::vector<uint8_t> blocks)
        : blocks_(std::move(blocks)), peer_([this](FakePeer& p, const Bytes& request, const Endpoint& from) {
              p.send(deviceAnswer(request), from);
              if (codeOf(request) != kes_sdk::cmd::kDataStream)
                  return;
              std::lock_guard<std::mutex> lock(mutex_);
              stream_.reset();
              if (request[11] == 1)
                  stream_ = std::make_unique<ScanStreamer>(from, blocks_, 60);
          })
    {
    }
    ~StreamingLidar()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stream_.reset();
    }

    QStringList target() const { return {"--ip", "127.0.0.1", "--port", QString::number(peer_.port())}; }

    double disconnectAfter(int ms)
    {
        kes_test::FakeMdnsServer mdns;
        LidarLogic logic(&mdns);
        logic.ip_addr_ = QStringLiteral("127.0.0.1");
        logic.lidar_port_ = peer_.port();
        std::streambuf* saved = std::cout.rdbuf(nullptr); // the transport's address lines
        const bool connected = logic.connectLidar();
        std::cout.rdbuf(saved);
        if (!connected)
            return std::nan(""); // no figure without a connection
        QTest::qWait(ms);
        QElapsedTimer clock;
        clock.start();
        logic.disconnectLidar();
        return seconds(clock);
    }

private:
    std::vector<uint8_t> blocks_;
    std::mutex mutex_;
    std::unique_ptr<ScanStreamer> stream_;
    FakePeer peer_;
};

double cliInfo(const QString& cli, const StreamingLidar& lidar)
{
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(cli, QStringList{"info"} + lidar.target());
    process.waitForFinished(120000);
    return seconds(clock);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    const QString cli = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    discoveryOfOneFlood();
    if (!cli.isEmpty())
        std::printf("kestra-cli discover --seconds 3: %.2f s with six responses 0.4 s apart, %.2f s without\n",
                    cliDiscover(cli, 6), cliDiscover(cli, 0));
    StreamingLidar junk({7});
    StreamingLidar whole({1, 2, 3, 4, 5, 6});
    for (int ms : {0, 1000, 2000})
        std::printf("disconnect %d ms after connecting: %.2f s while junk streams, %.2f s while whole "
                    "revolutions stream\n",
                    ms, junk.disconnectAfter(ms), whole.disconnectAfter(ms));
    if (!cli.isEmpty())
        std::printf("kestra-cli info: %.2f s against the junk stream, %.2f s against whole revolutions\n",
                    cliInfo(cli, junk), cliInfo(cli, whole));
    return 0;
}
