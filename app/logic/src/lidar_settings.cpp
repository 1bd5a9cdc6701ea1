#include "lidar_core.h"

#include "kes_logic/lidar_address.h"
#include "kes_logic/lidar_logic.h"

#include <QDebug>

using kes_sdk::kSuccess;

bool LidarCore::disconnectLidar()
{
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t generation = generation_;
    connected_ = false;
    settings_enabled_ = false;
    waitUntilClosed(generation);
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

// Only a complete address is ever written: a lidar given a broadcast or half-typed one
// restarts where nobody can reach it.
int LidarCore::applyLidarIPAddress()
{
    if (!connected_) {
        qDebug() << "second";
        return 2;
    }
    const QString text = ip_addr_.get();
    const std::optional<uint32_t> wanted = lidarAddress(text);
    if (!wanted) {
        qDebug() << "ip_addr_" << text;
        return fail(kes_sdk::kSocketError);
    }
    DeviceUse device(*this, false);
    if (!device)
        return fail(kes_sdk::kNoAnswer);
    int result = device->trackConnect();
    if (result != kSuccess)
        return fail(result);
    uint32_t current = 0;
    result = device->getLidarIPAddress(current);
    qDebug() << "ip" << current;
    qDebug() << "ip_addr_" << *wanted;
    if (result != kSuccess)
        return fail(result);
    if (current == *wanted) {
        qDebug() << "first";
        return 2;
    }
    result = device->setLidarIPAddress(*wanted);
    if (result != kSuccess) {
        qDebug() << "setLidarIPAddress fail ";
        return fail(result);
    }
    qDebug() << "applyConfigs: " << device->applyConfigs();
    sendState(LidarState::Restart);
    last_result_ = kSuccess;
    return 1;
}

int LidarCore::readLidarIPAddress(QString& ip)
{
    DeviceUse device(*this, false);
    uint32_t stored = 0;
    const int result = device ? device->getLidarIPAddress(stored) : kes_sdk::kNoAnswer;
    if (result == kSuccess)
        ip = dottedAddress(stored);
    return result;
}

bool LidarCore::rebootLidar()
{
    const uint64_t generation = generation_;
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
    waitUntilClosed(generation);
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
