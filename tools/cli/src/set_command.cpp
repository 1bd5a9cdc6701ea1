#include "commands.h"
#include "device_session.h"
#include "exit_codes.h"

#include <kes_sdk/command_result.h>

namespace cli {
namespace {

void printChange(const char* key, const QString& before, const QString& after)
{
    QTextStream& out = cli::out();
    if (before == after)
        out << key << ": " << after << " (unchanged)\n";
    else
        out << key << ": " << before << " -> " << after << '\n';
}

// The calls of the tool bar's Confirm sequence, in its order.
int applyFrequencyAndDirection(DeviceSession& session, const SetOptions& o)
{
    LidarLogic& logic = session.logic();
    if (o.frequency) {
        const int before = logic.scan_frequency_;
        logic.scan_frequency_ = *o.frequency;
        if (!logic.applyScanFrequency())
            return session.failure(QString("set the scan frequency to %1 Hz").arg(*o.frequency));
        printChange("frequency_hz", QString::number(before), QString::number(*o.frequency));
    }
    if (o.direction) {
        const int before = logic.scan_direction_;
        logic.scan_direction_ = *o.direction;
        if (!logic.applyScanDirection())
            return session.failure(QString("set the direction to %1").arg(*o.direction));
        printChange("direction", QString::number(before), QString::number(*o.direction));
    }
    // An address change applies the configuration itself; applying it twice would restart
    // the lidar before the address is written.
    if ((o.frequency || o.direction) && !o.new_ip) {
        const int applied = logic.applyConfigs();
        if (applied != kes_sdk::kSuccess)
            return session.failure("apply the configuration", applied);
    }
    return kDone;
}

int applyFilterLevel(DeviceSession& session, uint level)
{
    LidarLogic& logic = session.logic();
    const uint before = logic.filter_level_;
    logic.setFilterLevel(level);
    if (logic.last_result_ != kes_sdk::kSuccess)
        return session.failure(QString("set the filter level to %1").arg(level));
    printChange("filter_level", QString::number(before), QString::number(level));
    return kDone;
}

// Before and after are what the lidar stores, not the address it was reached at.
int applyAddress(DeviceSession& session, const QString& newIp)
{
    LidarLogic& logic = session.logic();
    const QJsonValue before = session.storedAddress();
    logic.ip_addr_ = newIp;
    const int changed = logic.applyLidarIPAddress();
    if (changed == 0)
        return session.failure("change the address to " + newIp);
    printChange("ip", changed == 1 ? before.toString(QStringLiteral("unknown")) : newIp, newIp);
    // The address is stored and applied; a lidar that is already restarting may not answer.
    if (changed == 1 && !logic.rebootLidar())
        printError("the lidar did not confirm the reboot; it restarts with " + newIp
                   + " by itself, or needs a "
                     "manual restart");
    return kDone;
}

} // namespace

int runSet(const SetOptions& options)
{
    DeviceSession session(options.target);
    int result = session.connect();
    if (result == kDone && options.filter_level)
        result = applyFilterLevel(session, *options.filter_level);
    if (result == kDone)
        result = applyFrequencyAndDirection(session, options);
    if (result == kDone && options.new_ip)
        result = applyAddress(session, *options.new_ip);
    return result;
}

} // namespace cli
