#include "lidar_core.h"

#include "kes_logic/lidar_logic.h"

#include <QDebug>

#include <chrono>
#include <thread>

using kes_sdk::KesDriver;
using kes_sdk::kSuccess;

namespace {

constexpr uint32_t kHandshakeTimeoutMs = 8000;
constexpr uint32_t kExchangeTimeoutMs = 3000;

QString withoutNuls(const std::string& text)
{
    return QString::fromUtf8(text.data(), int(text.size())).remove(QChar(u'\0'));
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

bool LidarCore::connectLidar()
{
    if (update_flag_ == 1) {
        qDebug() << "current updating...";
        return fail(kes_sdk::kDeviceFailure);
    }
    DeviceUse device(*this, true);
    if (!device) {
        // Not an address a lidar can have: nothing is sent.
        qDebug() << "unable to open device";
        sendState(LidarState::Malfunction);
        return fail(kes_sdk::kSocketError);
    }
    if (!openAndGreet(device.shared()))
        return false;
    readVersions(*device);
    if (!startStreaming(device.shared()))
        return false;
    readSettings(*device);
    last_result_ = kSuccess;
    withOwner([](LidarLogic& owner) { emit owner.send_status(1); });
    return true;
}

// Opens the driver if needed and runs the handshake; on failure the driver is dropped.
bool LidarCore::openAndGreet(const DevicePtr& device)
{
    if (!device->isOpen()) {
        const int opened = device->open();
        if (opened != kSuccess) {
            qDebug() << "unable to open device";
            discardDevice(device);
            sendState(LidarState::Malfunction);
            return fail(opened);
        }
    } else {
        qDebug() << "device is open !!!!!!!!!!!!!";
    }
    device->setTimeout(kHandshakeTimeoutMs);
    const int greeted = device->trackConnect();
    device->setTimeout(kExchangeTimeoutMs);
    if (greeted == kSuccess)
        return true;
    // A driver still used by a running connection is left to its close thread.
    if (discardDevice(device)) {
        if (device->isOpen()) {
            device->close();
            sleepMs(1000);
        }
    } else {
        connected_ = false;
    }
    sendState(LidarState::Malfunction);
    return fail(greeted);
}

void LidarCore::readVersions(KesDriver& device)
{
    std::string firmware;
    std::string hardware;
    // A version that cannot be read shows as empty.
    if (device.getFirmwareVersion(firmware) != kSuccess)
        firmware.clear();
    if (device.getHardwareVersion(hardware) != kSuccess)
        hardware.clear();
    firmware_version_ = withoutNuls(firmware);
    hardware_version_ = withoutNuls(hardware);
}

// Marks the connection and starts the stream and its jobs. The mark is made while the owner
// is still there, so no connection starts once the owner has begun to shut down.
bool LidarCore::startStreaming(const DevicePtr& device)
{
    bool upgrade_only = false;
    std::unique_lock<std::recursive_mutex> lock(generation_mutex_);
    const bool owned = withOwner([&](LidarLogic&) {
        connected_ = true;
        settings_enabled_ = true;
        filter_level_ = 0;
        upgrade_only = firmware_version_.get().startsWith(QLatin1Char('B'));
        if (!upgrade_only)
            ++generation_;
    });
    lock.unlock();
    if (!owned) {
        if (discardDevice(device))
            device->close();
        return fail(kes_sdk::kNoAnswer);
    }
    if (upgrade_only) {
        sendState(LidarState::ReUpgrade);
        return true;
    }
    sendState(LidarState::Working);
    // A stream that does not start shows as failed full scans, which end the connection once
    // the settle window is over.
    (void)device->enableDataStream();
    scanThread();
    lidar_info_thread();
    sleepMs(10);
    closeThread();
    first_block_pending_ = true;
    scan_set_flag_ = true;
    queueToOwner([](LidarLogic& owner) {
        owner.startSettleTimer();
        owner.stopDiscovery();
    });
    return true;
}

// Reads the settings after connecting: a failed read leaves the member as it was; the signals
// go out regardless.
void LidarCore::readSettings(KesDriver& device)
{
    uint32_t direction = 0;
    if (device.getScanDirection(direction) == kSuccess)
        scan_direction_ = int(direction);
    const int dir = scan_direction_;
    withOwner([dir](LidarLogic& owner) { emit owner.sendScanDirectionStatus(dir); });
    uint32_t hz = 0;
    if (device.getScanFrequency(hz) == kSuccess)
        scan_frequency_ = int(hz);
    const int freq = scan_frequency_;
    withOwner([freq](LidarLogic& owner) { emit owner.sendScanFrequency(freq); });
    uint32_t level = 0;
    if (device.getFilterLevel(level) == kSuccess)
        filter_level_ = level;
    std::string sdk;
    if (device.getSdkVersion(sdk) == kSuccess)
        sdk_version_ = withoutNuls(sdk);
}
