#include "commands.h"
#include "device_session.h"
#include "every_second.h"
#include "exit_codes.h"

#include <kes_logic/lidar_logic.h>
#include <kes_sdk/wire_format.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>

namespace cli {
namespace {

using std::chrono::steady_clock;

constexpr double kQuietLimitS = 5.0;

std::optional<int> frequencyOf(size_t pointsPerBlock)
{
    for (int hz : {10, 15, 20, 25, 30})
        if (kes_sdk::pointsForRateCode(uint8_t(hz / 5 + 2)) == pointsPerBlock)
            return hz;
    return std::nullopt;
}

double ms(std::chrono::microseconds us)
{
    return double(us.count()) / 1000.0;
}

// One second of the link, from two readings of its counters.
QJsonObject secondOf(int second, const kes_sdk::LinkStats& now, const kes_sdk::LinkStats& before, int hz)
{
    QJsonObject s;
    s["second"] = second;
    s["revolutions_per_s"] = qint64(now.scans - before.scans);
    s["frequency_hz"] = hz;
    s["datagrams_per_s"] = qint64(now.datagrams - before.datagrams);
    s["rejected"] = qint64(now.rejected - before.rejected);
    s["dropped"] = qint64(now.dropped - before.dropped);
    s["incomplete"] = qint64(now.incomplete - before.incomplete);
    s["timeouts"] = qint64(now.timed_out - before.timed_out);
    // The latencies of this second's answers: the newest of the window.
    const size_t fresh = std::min<size_t>(now.answered - before.answered, now.latencies.size());
    std::vector<std::chrono::microseconds> latencies(now.latencies.end() - long(fresh), now.latencies.end());
    s["answers"] = qint64(now.answered - before.answered);
    s["latency_median_ms"] = QJsonValue();
    s["latency_worst_ms"] = QJsonValue();
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        s["latency_median_ms"] = ms(latencies[latencies.size() / 2]);
        s["latency_worst_ms"] = ms(latencies.back());
    }
    const bool scanned = now.last_scan != steady_clock::time_point{};
    s["since_last_scan_s"] =
        scanned ? QJsonValue(std::chrono::duration<double>(steady_clock::now() - now.last_scan).count())
                : QJsonValue();
    return s;
}

QString number(const QJsonValue& v, int decimals)
{
    return v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble(), 'f', decimals);
}

QString line(const QJsonObject& s)
{
    return QString("%1 s  revolutions %2/s of %3 Hz  datagrams %4/s  rejected %5  dropped %6  incomplete %7  "
                   "latency %8/%9 ms  timeouts %10  last scan %11 s ago")
        .arg(s["second"].toInt(), 4)
        .arg(s["revolutions_per_s"].toInt(), 2)
        .arg(s["frequency_hz"].toInt())
        .arg(s["datagrams_per_s"].toInt(), 3)
        .arg(s["rejected"].toInt())
        .arg(s["dropped"].toInt())
        .arg(s["incomplete"].toInt())
        .arg(number(s["latency_median_ms"], 2), number(s["latency_worst_ms"], 2))
        .arg(s["timeouts"].toInt())
        .arg(number(s["since_last_scan_s"], 2));
}

} // namespace

int runHealth(const HealthOptions& options)
{
    DeviceSession session(options.target);
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    LidarLogic& logic = session.logic();
    kes_sdk::LinkStats before = logic.linkStats().value_or(kes_sdk::LinkStats{});
    // The rate the lidar runs at shows in its blocks' size, even when the read of its
    // frequency went unanswered.
    int hz = logic.scan_frequency_;
    QObject::connect(&logic, &LidarLogic::sendBlock, &logic, [&hz](const kes_sdk::ScanBlockData& block) {
        if (!block.layers.empty())
            hz = frequencyOf(block.layers[0].ranges.size()).value_or(hz);
    });
    const steady_clock::time_point started = steady_clock::now();
    return everySecond(options.seconds, [&](int second) {
        const std::optional<kes_sdk::LinkStats> now = logic.linkStats();
        if (!now) {
            printError("the connection to " + session.where() + " was closed after a scan failure");
            return kNoAnswer;
        }
        const QJsonObject s = secondOf(second, *now, before, hz);
        before = *now;
        out() << (options.json ? QJsonDocument(s).toJson(QJsonDocument::Compact) : line(s)) << Qt::endl;
        const steady_clock::time_point last = std::max(now->last_scan, started);
        if (std::chrono::duration<double>(steady_clock::now() - last).count() < kQuietLimitS)
            return -1;
        printError("no scan data from " + session.where() + " for 5 s");
        return kNoAnswer;
    });
}

} // namespace cli
