// Usage: junk_figures [KESTRA_CLI]
// A lidar on loopback that answers every request but, once asked to stream, sends only scan
// datagrams of a foreign index (7), for a minute. Prints how long a disconnect takes while
// that stream runs, at the default time-outs, and with the path of kestra-cli how long
// "info" takes against it.
#include "../sdk/fake_peer.h"
#include "fake_mdns_server.h"

#include <kes_sdk/command_codes.h>
#include <lidar_logic.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>

namespace {

class JunkLidar {
public:
    JunkLidar()
        : peer_([this](FakePeer& p, const FakePeer::Bytes& request, const FakePeer::Endpoint& from) {
              p.send(FakePeer::deviceAnswer(request), from);
              if (FakePeer::codeOf(request) != kes_sdk::cmd::kDataStream)
                  return;
              std::lock_guard<std::mutex> lock(mutex_);
              junk_.reset();
              if (request[11] == 1)
                  junk_ = std::make_unique<ScanStreamer>(from, std::vector<uint8_t>{7}, true, 60);
          })
    {
    }
    ~JunkLidar()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        junk_.reset();
    }

    quint16 port() const { return peer_.port(); }

private:
    std::mutex mutex_;
    std::unique_ptr<ScanStreamer> junk_;
    FakePeer peer_;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (int round = 0; round < 3; ++round) {
        JunkLidar lidar;
        FakeMdnsServer mdns;
        LidarLogic logic(&mdns);
        logic.ip_addr_ = QStringLiteral("127.0.0.1");
        logic.lidar_port_ = lidar.port();
        std::streambuf* saved = std::cout.rdbuf(nullptr); // the transport's address lines
        const bool connected = logic.connectLidar();
        std::cout.rdbuf(saved);
        QTest::qWait(1000 * round);
        QElapsedTimer clock;
        clock.start();
        logic.disconnectLidar();
        std::printf("disconnect %d s after connecting (%s): %.2f s\n", round, connected ? "connected" : "not connected",
                    double(clock.elapsed()) / 1000.0);
    }
    if (argc > 1) {
        JunkLidar lidar;
        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(QString::fromLocal8Bit(argv[1]), {"info", "--ip", "127.0.0.1", "--port", QString::number(lidar.port())});
        cli.waitForFinished(120000);
        std::printf("kestra-cli info: %.2f s (exit %d)\n", double(clock.elapsed()) / 1000.0, cli.exitCode());
    }
    return 0;
}
