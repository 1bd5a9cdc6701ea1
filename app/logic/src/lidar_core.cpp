#include "lidar_core.h"

#include "kes_logic/lidar_address.h"
#include "kes_logic/lidar_logic.h"

#include <QDebug>

#include <arpa/inet.h>

using kes_sdk::KesDriver;

namespace {

QString stateText(LidarState state, bool english)
{
    switch (state) {
    case LidarState::Working: return english ? QStringLiteral("Working") : QStringLiteral("正常运行中");
    case LidarState::Malfunction: return english ? QStringLiteral("Malfunction") : QStringLiteral("故障");
    case LidarState::ReUpgrade:
        return english ? QStringLiteral("Malfunction, please re-upgrade lidar") : QStringLiteral("故障,请重新升级");
    case LidarState::Disconnect: return english ? QStringLiteral("Disconnect") : QStringLiteral("未连接");
    case LidarState::Restart: return english ? QStringLiteral("Restart") : QStringLiteral("重启");
    case LidarState::Upgrade: return english ? QStringLiteral("Upgrade") : QStringLiteral("升级");
    case LidarState::UpgradeFailure: return english ? QStringLiteral("Upgrade failure") : QStringLiteral("升级失败");
    }
    return QString();
}

} // namespace

DeviceUse::DeviceUse(LidarCore& core, bool create) : core_(core)
{
    std::lock_guard<std::mutex> lock(core.device_mutex_);
    const std::optional<uint32_t> ip = create && !core.device_ ? lidarAddress(core.ip_addr_) : std::nullopt;
    if (ip) {
        qDebug() << "new ";
        core.device_ = std::make_shared<KesDriver>(kes_sdk::LidarAddress(*ip, htons(core.lidar_port_)));
        if (core.tap_)
            core.device_->setTap(core.tap_);
        created_ = true;
    }
    device_ = core.device_;
    if (device_)
        ++core.busy_count_;
}

DeviceUse::~DeviceUse()
{
    if (device_)
        --core_.busy_count_;
}

void LidarCore::setDatagramTap(kes_sdk::DatagramTap tap)
{
    std::lock_guard<std::mutex> lock(device_mutex_);
    tap_ = std::move(tap);
}

std::optional<kes_sdk::LinkStats> LidarCore::linkStats()
{
    const DevicePtr device = currentDevice();
    return device ? std::optional<kes_sdk::LinkStats>(device->linkStats()) : std::nullopt;
}

LidarCore::DevicePtr LidarCore::currentDevice()
{
    std::lock_guard<std::mutex> lock(device_mutex_);
    return device_;
}

// Takes the driver out only when the caller's use is the only one, so nobody is inside it.
bool LidarCore::discardDevice(const DevicePtr& device)
{
    std::lock_guard<std::mutex> lock(device_mutex_);
    if (device_ != device || busy_count_ != 1)
        return false;
    device_.reset();
    return true;
}

LidarCore::DevicePtr LidarCore::takeDeviceWhenIdle(bool& idle)
{
    std::lock_guard<std::mutex> lock(device_mutex_);
    idle = busy_count_ == 0;
    return idle ? std::move(device_) : nullptr;
}

bool LidarCore::fail(int result)
{
    last_result_ = result == kes_sdk::kSuccess ? kes_sdk::kNoAnswer : result;
    return false;
}

void LidarCore::sendState(LidarState state)
{
    const QString text = stateText(state, language_);
    withOwner([&](LidarLogic& owner) { emit owner.sendState(text); });
}

void LidarCore::queueToOwner(std::function<void(LidarLogic&)> task)
{
    jobs_.post([owner = owner_, task = std::move(task)] { task(*owner); });
}

void LidarCore::queueSettleTimer()
{
    queueToOwner([](LidarLogic& owner) { owner.startSettleTimer(); });
}

void LidarCore::setDriverTimeout(uint32_t ms)
{
    DeviceUse device(*this, false);
    if (device)
        device->setTimeout(ms);
}

int LidarCore::device_stop_stream()
{
    DeviceUse device(*this, false);
    if (!device)
        return kes_sdk::kNoAnswer;
    qDebug() << "device_stop_stream";
    return device->disableDataStream();
}

int LidarCore::device_reboot()
{
    DeviceUse device(*this, false);
    if (!device)
        return kes_sdk::kNoAnswer;
    const int result = device->deviceReboot();
    qDebug() << "device_reboot:" << (result & 0xFF);
    return result;
}

void LidarCore::receive_update_flag(uint32_t flag)
{
    qDebug() << "update_flag_:" << flag;
    const uint32_t previous = update_flag_.exchange(flag);
    if (flag == 1) {
        // The close sequence keeps the driver open while the upgrade runs.
        if (previous != 1)
            ++busy_count_;
        connected_ = false;
        sendState(LidarState::Upgrade);
        return;
    }
    if (previous == 1)
        --busy_count_;
    if (firmware_version_.get().startsWith(QLatin1Char('B'))) {
        bool idle = false;
        if (DevicePtr device = takeDeviceWhenIdle(idle)) {
            if (device->isOpen())
                device->close();
            qDebug() << "device_->close 33";
        }
    }
    if (flag == 0) {
        sendState(LidarState::Disconnect);
        scan_frequency_ = 20;
    } else {
        sendState(LidarState::UpgradeFailure);
    }
}

void LidarCore::shutDown(int bound_ms)
{
    // First: a connection marked before this ends with the rest, and none is marked after.
    jobs_.close();
    connected_ = false;
    settings_enabled_ = false;
    // Only the owner's slot could end an upgrade; it can no longer be called.
    if (update_flag_.exchange(0) == 1)
        --busy_count_;
    jobs_.wait(bound_ms);
    bool idle = false;
    if (DevicePtr device = takeDeviceWhenIdle(idle))
        device->close();
}
