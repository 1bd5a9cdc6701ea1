#include "commands.h"
#include "device_session.h"
#include "every_second.h"
#include "exit_codes.h"

#include <kes_logic/lidar_address.h>
#include <kes_logic/lidar_logic.h>
#include <kes_sdk/kes_driver.h>
#include <kes_sdk/scan_data.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace cli {
namespace {

constexpr int kQuietLimit = 5;
constexpr int kProbeMs = 2000;

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

// A handshake on a socket of its own: cheap to repeat, and bounded by the probe period where
// the logic's connect waits 8 s.
bool lidarAnswers(const DeviceTarget& target)
{
    const std::optional<uint32_t> ip = lidarAddress(target.ip);
    kes_sdk::KesDriver probe(kes_sdk::LidarAddress(ip.value_or(0), htons(target.port)));
    if (!ip || probe.open() != kes_sdk::kSuccess)
        return false;
    probe.setTimeout(kProbeMs);
    return probe.trackConnect() == kes_sdk::kSuccess;
}

// Until the lidar answers and the session is connected again, a probe every 2 s; false when
// interrupted or out of time first.
bool reconnect(DeviceSession& session, const QElapsedTimer& running, int seconds)
{
    session.disconnect();
    for (;;) {
        const auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(kProbeMs);
        if (interrupted() || (seconds > 0 && running.elapsed() >= seconds * 1000LL))
            return false;
        if (lidarAnswers(session.target()) && session.connect(false) == kDone)
            return true;
        std::this_thread::sleep_until(next);
    }
}

} // namespace

int runWatch(const WatchOptions& options)
{
    DeviceSession session(options.target);
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    QElapsedTimer running;
    running.start();
    StreamTally tally;
    int quietSeconds = 0;
    QElapsedTimer lastBlock;
    lastBlock.start();
    bool outage = false;
    QObject::connect(
        &session.logic(), &LidarLogic::sendBlock, &session.logic(), [&](const kes_sdk::ScanBlockData& block) {
            if (outage) {
                out() << QString("link back: outage %1 s").arg(lastBlock.elapsed() / 1000.0, 0, 'f', 1) << Qt::endl;
                outage = false;
            }
            lastBlock.restart();
            tally.add(block);
        });
    const int result = everySecond(options.seconds, [&](int second) {
        out() << line(second, tally, session) << Qt::endl;
        quietSeconds = tally.points == 0 ? quietSeconds + 1 : 0;
        tally = StreamTally{};
        if (quietSeconds < kQuietLimit)
            return -1;
        if (!options.reconnect) {
            printError("no scan data from " + session.where() + " for 5 s");
            return kNoAnswer;
        }
        out() << "link lost: no scan data for 5 s; reconnecting every 2 s" << Qt::endl;
        quietSeconds = 0;
        outage = true;
        return reconnect(session, running, options.seconds) ? -1 : kDone;
    });
    return result;
}

} // namespace cli
