#pragma once

#include "cli_options.h"
#include "output.h"
#include "silent_mdns_server.h"

#include <kes_logic/lidar_logic.h>

#include <QJsonValue>
#include <QString>

namespace cli {

// One connection made the way the window makes it, with the failure told in words.
class DeviceSession {
public:
    explicit DeviceSession(const DeviceTarget& target);
    ~DeviceSession();

    // Exit code; on failure a one-line message is on standard error when `tell`.
    int connect(bool tell = true);
    void disconnect();
    LidarLogic& logic() { return logic_; }
    QString where() const;
    const DeviceTarget& target() const { return target_; }
    // The exit code and the reason for the last failed operation.
    int failure(const QString& what) const;
    int failure(const QString& what, int result) const;
    // Waits until the information thread has reported once; false after `ms`.
    bool waitForLiveValues(int ms);
    // The address the lidar stores, or null when it does not say.
    QJsonValue storedAddress();

    float apd_temp_ = 0.0f;
    uint32_t motor_rpm_ = 0;

private:
    SilentMdnsServer server_;
    LidarLogic logic_;
    DeviceTarget target_;
    bool connected_ = false;
    bool have_temp_ = false;
    bool have_motor_ = false;
};

} // namespace cli
