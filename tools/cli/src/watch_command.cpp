#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <kes_logic/lidar_logic.h>
#include <kes_sdk/scan_data.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

// What one second of the stream held.
struct StreamTally {
    int revolutions = 0;
    int points = 0;
    int returns = 0;
    uint16_t nearest = 0;

    void add(const kes_sdk::ScanBlockData& block)
    {
        revolutions += block.block_id == kes_sdk::kBlocksPerScan;
        if (block.layers.empty())
            return;
        for (uint16_t range : block.layers[0].ranges) {
            ++points;
            if (range == 0)
                continue;
            ++returns;
            nearest = nearest == 0 ? range : std::min(nearest, range);
        }
    }
};

QString line(int second, const StreamTally& t, const DeviceSession& session)
{
    return QString("%1 s  revolutions %2  points %3  returns %4  nearest %5 m  motor %6 rpm  apd %7 C")
        .arg(second, 4)
        .arg(t.revolutions, 2)
        .arg(t.points, 5)
        .arg(t.returns, 5)
        .arg(t.nearest * 0.002, 0, 'f', 3)
        .arg(session.motor_rpm_)
        .arg(double(session.apd_temp_), 0, 'f', 1);
}

} // namespace

int runWatch(const WatchOptions& options)
{
    DeviceSession session(options.target);
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    StreamTally tally;
    int second = 0;
    int quietSeconds = 0;
    QObject::connect(&session.logic(), &LidarLogic::sendBlock, &session.logic(),
                     [&tally](const kes_sdk::ScanBlockData& block) { tally.add(block); });
    QTimer everySecond;
    QObject::connect(&everySecond, &QTimer::timeout, [&] {
        out() << line(++second, tally, session) << Qt::endl;
        quietSeconds = tally.points == 0 ? quietSeconds + 1 : 0;
        tally = StreamTally{};
        if (quietSeconds == 5)
            QCoreApplication::exit(kNoAnswer);
        else if (options.seconds > 0 && second >= options.seconds)
            QCoreApplication::exit(kDone);
    });
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, [] {
        if (g_interrupted)
            QCoreApplication::exit(kDone);
    });
    everySecond.start(1000);
    interruption.start(100);
    const int result = QCoreApplication::exec();
    if (result == kNoAnswer)
        printError("no scan data from " + session.where() + " for 5 s");
    return result;
}

} // namespace cli
