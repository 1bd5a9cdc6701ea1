#include "device_session.h"

#include "exit_codes.h"

#include <kes_sdk/command_result.h>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace cli {

DeviceSession::DeviceSession(const DeviceTarget& target) : logic_(&server_), target_(target)
{
    logic_.setLanguage(0);
    logic_.ip_addr_ = target.ip;
    logic_.lidar_port_ = target.port;
    QObject::connect(&logic_, &LidarLogic::sendAPD_temp, &logic_, [this](float degrees) {
        apd_temp_ = degrees;
        have_temp_ = true;
    });
    QObject::connect(&logic_, &LidarLogic::sendMotor, &logic_, [this](uint32_t rpm) {
        motor_rpm_ = rpm;
        have_motor_ = true;
    });
}

DeviceSession::~DeviceSession()
{
    disconnect();
}

void DeviceSession::disconnect()
{
    if (connected_)
        logic_.disconnectLidar();
    connected_ = false;
}

QString DeviceSession::where() const
{
    return target_.ip + ':' + QString::number(target_.port);
}

int DeviceSession::connect(bool tell)
{
    if (logic_.connectLidar()) {
        connected_ = true;
        return kDone;
    }
    const auto fail = [tell](const QString& message, int code) {
        if (tell)
            printError(message);
        return code;
    };
    switch (logic_.last_result_.load()) {
    case kes_sdk::kDeviceFailure: return fail("the lidar at " + where() + " refused the connection", kRefused);
    case kes_sdk::kSocketError: return fail("cannot open a UDP socket to reach " + where(), kSocketError);
    default: return fail("no answer from " + where() + " within 8 s", kNoAnswer);
    }
}

int DeviceSession::failure(const QString& what) const
{
    return failure(what, logic_.last_result_);
}

int DeviceSession::failure(const QString& what, int result) const
{
    if (result == kes_sdk::kDeviceFailure) {
        printError("the lidar at " + where() + " refused to " + what);
        return kRefused;
    }
    printError("no answer from " + where() + " when trying to " + what + " (3 s)");
    return kNoAnswer;
}

bool DeviceSession::waitForLiveValues(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!(have_temp_ && have_motor_) && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return have_temp_ && have_motor_;
}

QJsonValue DeviceSession::storedAddress()
{
    QString ip;
    return logic_.readLidarIPAddress(ip) == kes_sdk::kSuccess ? QJsonValue(ip) : QJsonValue();
}

} // namespace cli
