#include "lidar_core.h"

#include "lidar_logic.h"

#include <QDebug>

#include <arpa/inet.h>

#include <chrono>
#include <thread>

using kes_sdk::kSuccess;

namespace {

void waitFor(const std::atomic<bool>& flag)
{
    while (!flag)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

bool LidarCore::disconnectLidar()
{
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
    settings_enabled_ = false;
    waitFor(exit_flag_);
    qDebug() << "language" << (language_ ? "true" : "false");
    sendState(LidarState::Disconnect);
    return true;
}

bool LidarCore::applyScanFrequency()
{
    DeviceUse device(*this, false);
    if (!device || !connected_)
        return fail(kes_sdk::kNoAnswer);
    int result = device->trackConnect();
    uint32_t current = 0;
    if (result == kSuccess)
        result = device->getScanFrequency(current);
    if (result != kSuccess)
        return fail(result);
    const int wanted = scan_frequency_;
    if (uint32_t(wanted) != current) {
        result = device->setScanFrequency(uint32_t(wanted));
        if (result != kSuccess)
            return fail(result);
        scan_set_flag_ = true;
        queueSettleTimer();
    }
    last_result_ = kSuccess;
    return true;
}

bool LidarCore::applyScanDirection()
{
    DeviceUse device(*this, false);
    if (!device || !settings_enabled_)
        return fail(kes_sdk::kNoAnswer);
    withOwner([](LidarLogic& owner) { emit owner.sigDirChanged(); });
    int result = device->trackConnect();
    uint32_t current = 0;
    if (result == kSuccess)
        result = device->getScanDirection(current);
    if (result != kSuccess)
        return fail(result);
    const int wanted = scan_direction_;
    if (uint32_t(wanted) != current) {
        result = device->setScanDirection(uint32_t(wanted));
        if (result != kSuccess) {
            qDebug() << "setScanDirection false";
            return fail(result);
        }
        qDebug() << "setScanDirection success";
        scan_set_flag_ = true;
        queueSettleTimer();
    }
    last_result_ = kSuccess;
    return true;
}

int LidarCore::applyConfigs()
{
    DeviceUse device(*this, false);
    return device ? device->applyConfigs() : kes_sdk::kNoAnswer;
}

int LidarCore::applyLidarIPAddress()
{
    if (!connected_) {
        qDebug() << "second";
        return 2;
    }
    DeviceUse device(*this, false);
    if (!device)
        return fail(kes_sdk::kNoAnswer);
    int result = device->trackConnect();
    if (result != kSuccess)
        return fail(result);
    uint32_t current = 0;
    result = device->getLidarIPAddress(current);
    const uint32_t wanted = inet_addr(ip_addr_.get().toLatin1().constData());
    qDebug() << "ip" << current;
    qDebug() << "ip_addr_" << wanted;
    if (result != kSuccess)
        return fail(result);
    if (current == wanted) {
        qDebug() << "first";
        return 2;
    }
    result = device->setLidarIPAddress(wanted);
    if (result != kSuccess) {
        qDebug() << "setLidarIPAddress fail ";
        return fail(result);
    }
    qDebug() << "applyConfigs: " << device->applyConfigs();
    sendState(LidarState::Restart);
    last_result_ = kSuccess;
    return 1;
}

bool LidarCore::rebootLidar()
{
    connected_ = false;
    int result = kes_sdk::kNoAnswer;
    {
        // Released before the wait: the close thread waits for this use to end.
        DeviceUse device(*this, false);
        if (device)
            result = device->deviceReboot();
    }
    if (result != kSuccess) {
        qDebug() << "deviceReboot fail";
        return fail(result);
    }
    waitFor(exit_flag_);
    sendState(LidarState::Disconnect);
    last_result_ = kSuccess;
    return true;
}

int LidarCore::setFilterEnable(bool on)
{
    DeviceUse device(*this, false);
    if (!device)
        return kes_sdk::kNoAnswer;
    const int greeted = device->trackConnect();
    if (greeted != kSuccess)
        return greeted;
    if (!on)
        return device->setFilterLevel(0);
    const uint32_t level = filter_level_;
    return level != 0 ? device->setFilterLevel(level) : kSuccess;
}

void LidarCore::setFilterLevel(uint32_t level)
{
    filter_level_ = level;
    DeviceUse device(*this, false);
    if (!device) {
        fail(kes_sdk::kNoAnswer);
        return;
    }
    const int greeted = device->trackConnect();
    if (greeted != kSuccess) {
        qDebug() << "setFilterLevel trackConnect ret:" << greeted;
        fail(greeted);
        return;
    }
    last_result_ = device->setFilterLevel(level);
}
