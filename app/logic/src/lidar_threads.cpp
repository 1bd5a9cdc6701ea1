#include "lidar_core.h"

#include "kes_logic/lidar_logic.h"

#include <QDebug>

#include <chrono>
#include <cmath>
#include <thread>

using kes_sdk::kSuccess;

namespace {

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

void LidarCore::scanThread()
{
    if (scan_thread_running_)
        return;
    ++busy_count_;
    scan_thread_running_ = true;
    std::thread([self = shared_from_this()] { self->scanLoop(); }).detach();
}

// The count is taken before the thread starts, so a close thread started right after
// cannot find the count at 0 while this thread is about to use the driver.
void LidarCore::lidar_info_thread()
{
    if (info_thread_running_)
        return;
    info_thread_running_ = true;
    ++busy_count_;
    std::thread([self = shared_from_this()] { self->infoLoop(); }).detach();
}

// The flag is cleared before the thread starts as well, so a disconnect issued right after
// this call waits for the close instead of returning at once.
void LidarCore::closeThread()
{
    ++close_threads_;
    exit_flag_ = false;
    std::thread([self = shared_from_this(), generation = generation_.load()] {
        self->closeSequence(generation);
    }).detach();
}

void LidarCore::scanLoop()
{
    while (connected_) {
        if (!scanBlock()) {
            qWarning() << "scan block error";
            break;
        }
    }
    scan_thread_running_ = false;
    --busy_count_;
}

bool LidarCore::scanBlock()
{
    const DevicePtr device = currentDevice();
    if (!device)
        return false;
    const int result = device->grabFullScanBlock(full_scan_);
    if (!connected_) {
        qDebug() << "scanBlock"
                 << "false";
        return false;
    }
    if (result == kSuccess) {
        if (first_block_pending_.exchange(false))
            scan_set_flag_ = false;
        publishScan();
        return true;
    }
    if (scan_set_flag_) {
        qDebug() << "scan scan_set_flag_"
                 << "true";
        return true;
    }
    connected_ = false;
    sendState(LidarState::Malfunction);
    return false;
}

void LidarCore::publishScan()
{
    const kes_sdk::ScanLayer& all = full_scan_.layers.at(0);
    const size_t n = all.ranges.size() / kes_sdk::kBlocksPerScan;
    for (int id = 1; id <= kes_sdk::kBlocksPerScan; ++id) {
        kes_sdk::ScanBlockData block;
        block.block_id = uint8_t(id);
        block.time_stamp = full_scan_.time_stamp;
        block.layers.resize(1);
        const auto from = ptrdiff_t((id - 1) * n);
        const auto to = ptrdiff_t(id * n);
        block.layers[0].ranges.assign(all.ranges.begin() + from, all.ranges.begin() + to);
        block.layers[0].intensities.assign(all.intensities.begin() + from, all.intensities.begin() + to);
        withOwner([&block](LidarLogic& owner) { emit owner.sendBlock(block); });
    }
}

void LidarCore::infoLoop()
{
    while (connected_) {
        const DevicePtr device = currentDevice();
        if (!device) {
            info_thread_running_ = false;
            --busy_count_;
            return;
        }
        float degrees = 0.0f;
        if (device->getApdTemperature(degrees) != kSuccess)
            degrees = 0.0f;
        withOwner([degrees](LidarLogic& owner) { emit owner.sendAPD_temp(degrees); });
        uint32_t rpm = 0;
        if (device->getMotorSpeed(rpm) != kSuccess)
            rpm = 0;
        motor_frequency_ = std::round(float(rpm) / 60.0f * 10.0f) / 10.0f;
        withOwner([rpm](LidarLogic& owner) { emit owner.sendMotor(rpm); });
        sleepMs(500);
    }
    qDebug() << "info_thread exit 44";
    info_thread_running_ = false;
    --busy_count_;
}

// A later connection may start while this one is still ending (after a fatal scan error
// nobody waits for the close): it then owns the driver, the flags, the status and discovery,
// and this thread touches none of them.
void LidarCore::closeSequence(uint64_t generation)
{
    bool idle = false;
    DevicePtr device;
    while (generation_ == generation) {
        device = takeDeviceWhenIdle(idle);
        if (idle)
            break;
        sleepMs(100);
    }
    if (device) {
        if (device->isOpen()) {
            device->close();
            sleepMs(500);
            qDebug() << "device_->close 22";
        }
        device.reset();
    }
    {
        // Under the owner lock, which a connection holds while it starts streaming.
        std::lock_guard<std::recursive_mutex> lock(owner_mutex_);
        if (generation_ == generation) {
            exit_flag_ = true;
            first_block_pending_ = false;
            scan_set_flag_ = false;
            withOwner([](LidarLogic& owner) { emit owner.send_status(0); });
            queueToOwner([](LidarLogic& owner) {
                qDebug() << "mdns_timer start";
                owner.startDiscovery();
            });
        }
    }
    uint64_t closed = closed_generation_;
    while (closed < generation && !closed_generation_.compare_exchange_weak(closed, generation)) {
    }
    qDebug() << "exit_flag_";
    --close_threads_;
}

void LidarCore::waitUntilClosed(uint64_t generation)
{
    while (!exit_flag_ && closed_generation_ < generation)
        sleepMs(10);
}
