// Usage: logic_figures PORT [CONNECTS] [FIRST_S] [TOTAL_S]
// Against a kestra-sim on 127.0.0.1:PORT: the time from connectLidar() to the first sendBlock,
// the process CPU while streaming at 30 Hz, and the resident memory after FIRST_S and TOTAL_S.
#include <kes_logic/lidar_logic.h>
#include <kes_test/fake_mdns_server.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void aim(LidarLogic& logic, quint16 port)
{
    logic.ip_addr_ = QStringLiteral("127.0.0.1");
    logic.lidar_port_ = port;
}

double firstBlockMs(quint16 port)
{
    kes_test::FakeMdnsServer mdns;
    LidarLogic logic(&mdns);
    aim(logic, port);
    std::atomic<Clock::rep> first{0};
    QObject::connect(
        &logic, &LidarLogic::sendBlock, &logic,
        [&first] {
            Clock::rep none = 0;
            first.compare_exchange_strong(none, Clock::now().time_since_epoch().count());
        },
        Qt::DirectConnection);
    const Clock::time_point start = Clock::now();
    if (!logic.connectLidar())
        return -1;
    const bool streamed = QTest::qWaitFor([&] { return first != 0; }, 5000);
    logic.disconnectLidar();
    if (!streamed)
        return -1;
    const Clock::time_point at{Clock::duration(first.load())};
    return std::chrono::duration<double, std::milli>(at - start).count();
}

void streamFigures(quint16 port, int firstS, int totalS)
{
    kes_test::FakeMdnsServer mdns;
    LidarLogic logic(&mdns);
    aim(logic, port);
    long blocks = 0;
    QObject::connect(&logic, &LidarLogic::sendBlock, &logic, [&blocks] { ++blocks; });
    if (!logic.connectLidar())
        return;
    logic.scan_frequency_ = 30;
    if (!logic.applyScanFrequency())
        return;
    QTest::qWait(2000);
    const double cpu0 = cpuSeconds();
    const long blocks0 = blocks;
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(firstS * 1000);
    const long rssFirst = residentKiB();
    std::printf("after %d s: %.1f revolutions/s, CPU %.2f %% of one core, RSS %ld KiB\n", firstS,
                (blocks - blocks0) / 6.0 / (wall.elapsed() / 1000.0),
                100.0 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0), rssFirst);
    QTest::qWait((totalS - firstS) * 1000);
    std::printf("after %d s: CPU %.2f %% of one core, RSS %ld KiB (%+ld KiB)\n", totalS,
                100.0 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1000.0), residentKiB(), residentKiB() - rssFirst);
    logic.disconnectLidar();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (argc < 2) {
        std::fprintf(stderr, "usage: logic_figures PORT [CONNECTS] [FIRST_S] [TOTAL_S]\n");
        return 64;
    }
    const auto port = quint16(std::atoi(argv[1]));
    const int connects = argc > 2 ? std::atoi(argv[2]) : 10;
    std::vector<double> ms;
    for (int i = 0; i < connects; ++i)
        ms.push_back(firstBlockMs(port));
    std::sort(ms.begin(), ms.end());
    std::printf("connectLidar -> first sendBlock over %d connects: min %.1f ms, median %.1f ms, max %.1f ms\n",
                connects, ms.front(), ms[ms.size() / 2], ms.back());
    streamFigures(port, argc > 3 ? std::atoi(argv[3]) : 60, argc > 4 ? std::atoi(argv[4]) : 600);
    return 0;
}
