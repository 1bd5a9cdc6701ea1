#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace cli {
namespace {

// The information thread reports every 500 ms; allow for two exchanges that time out.
constexpr int kLiveValuesWaitMs = 7000;

// `ip` is the address the lidar stores, `target` the one it was reached at: they differ
// after an address change that has not restarted the lidar yet, or behind a forwarder.
QJsonObject collect(DeviceSession& session, bool live)
{
    LidarLogic& logic = session.logic();
    QJsonObject info;
    info["firmware"] = logic.firmware_version_.get();
    info["hardware"] = logic.hardware_version_.get();
    info["sdk"] = logic.sdk_version_.get();
    info["ip"] = session.storedAddress();
    info["target"] = logic.ip_addr_.get();
    info["frequency_hz"] = logic.scan_frequency_.load();
    info["direction"] = logic.scan_direction_.load();
    info["filter_level"] = qint64(logic.filter_level_.load());
    info["motor_rpm"] = live ? QJsonValue(qint64(session.motor_rpm_)) : QJsonValue();
    info["apd_temp_c"] = live ? QJsonValue(std::round(session.apd_temp_ * 10.0) / 10.0) : QJsonValue();
    return info;
}

QString text(const char* key, const QJsonValue& value)
{
    if (value.isNull())
        return QStringLiteral("unknown");
    // Temperatures with one decimal, 40.0 included.
    if (QLatin1String(key) == QLatin1String("apd_temp_c"))
        return QString::number(value.toDouble(), 'f', 1);
    return value.toVariant().toString();
}

void print(const QJsonObject& info, bool json)
{
    QTextStream& out = cli::out();
    if (json) {
        out << QJsonDocument(info).toJson(QJsonDocument::Compact) << '\n';
        return;
    }
    for (const char* key : {"firmware", "hardware", "sdk", "ip", "target", "frequency_hz", "direction",
                            "filter_level", "motor_rpm", "apd_temp_c"})
        out << key << ": " << text(key, info[key]) << '\n';
}

} // namespace

int runInfo(const InfoOptions& options)
{
    DeviceSession session(options.target);
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    const bool streaming = session.logic().info_thread_running_;
    const bool live = streaming && session.waitForLiveValues(kLiveValuesWaitMs);
    print(collect(session, live), options.json);
    if (!streaming) {
        printError("the lidar at " + session.where() + " runs firmware " + session.logic().firmware_version_.get()
                   + ", which needs a re-upgrade; it gives no live values");
        return kRefused;
    }
    if (!live) {
        printError("no live values from " + session.where() + " within 7 s");
        return kNoAnswer;
    }
    return kDone;
}

} // namespace cli
