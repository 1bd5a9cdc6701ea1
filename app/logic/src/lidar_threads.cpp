#include "lidar_core.h"

#include "kes_logic/lidar_logic.h"

#include <QDebug>

#include <cmath>

using kes_sdk::kSuccess;

// Each starter undoes its marks when the pool refuses the job: the owner is shutting down.
void LidarCore::scanThread()
{
    if (scan_thread_running_)
        return;
    ++busy_count_;
    scan_thread_running_ = true;
    if (!jobs_.start([self = shared_from_this()](WorkerPool::Job&) { self->scanLoop(); })) {
        scan_thread_running_ = false;
        --busy_count_;
    }
}

// The count is taken before the job starts, so a close thread started right after cannot
// find the count at 0 while this job is about to use the driver.
void LidarCore::lidar_info_thread()
{
    if (info_thread_running_)
        return;
    info_thread_running_ = true;
    ++busy_count_;
    if (!jobs_.start([self = shared_from_this()](WorkerPool::Job& job) { self->infoLoop(job); })) {
        info_thread_running_ = false;
        --busy_count_;
    }
}

// The flag is cleared before the job starts as well, so a disconnect issued right after this
// call waits for the close instead of returning at once.
void LidarCore::closeThread()
{
    exit_flag_ = false;
    const bool started = jobs_.start([self = shared_from_this(), generation = generation_.load()](
                                         WorkerPool::Job& job) { self->closeSequence(job, generation); });
    if (!started)
        exit_flag_ = true;
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

void LidarCore::infoLoop(const WorkerPool::Job& job)
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
        if (!job.pause(500))
            break;
    }
    qDebug() << "info_thread exit 44";
    info_thread_running_ = false;
    --busy_count_;
}

// A later connection may start while this one is still ending (after a fatal scan error
// nobody waits for the close): it then owns the driver, the flags, the status and discovery,
// and this job touches none of them. Once the owner shuts down, the pauses end at once and
// the owner closes the driver itself.
void LidarCore::closeSequence(const WorkerPool::Job& job, uint64_t generation)
{
    bool idle = false;
    DevicePtr device;
    while (generation_ == generation) {
        device = takeDeviceWhenIdle(idle);
        if (idle || !job.pause(100))
            break;
    }
    if (device) {
        if (device->isOpen()) {
            device->close();
            (void)job.pause(500);
            qDebug() << "device_->close 22";
        }
        device.reset();
    }
    {
        std::lock_guard<std::recursive_mutex> lock(generation_mutex_);
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
}

void LidarCore::waitUntilClosed(uint64_t generation)
{
    while (!exit_flag_ && closed_generation_ < generation && jobs_.pause(10)) {
    }
}
