#pragma once

#include "kes_logic/guarded.h"
#include "kes_logic/lidar_logic.h"

#include <kes_sdk/kes_driver.h>
#include <kes_sdk/scan_data.h>
#include <kes_workers/worker_pool.h>

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Connection states, sent as English or Chinese texts.
enum class LidarState { Working, Malfunction, ReUpgrade, Disconnect, Restart, Upgrade, UpgradeFailure };

// Everything LidarLogic's jobs touch. The jobs, and the callers' threads inside an operation,
// hold it by shared_ptr and reach the QObject only through withOwner() and queueToOwner(), so
// one still running when the object is destroyed touches nothing of it.
class LidarCore : public std::enable_shared_from_this<LidarCore> {
public:
    using DevicePtr = std::shared_ptr<kes_sdk::KesDriver>;

    explicit LidarCore(LidarLogic* owner) : owner_(owner), jobs_(owner) {}

    bool connectLidar();
    bool disconnectLidar();
    bool applyScanFrequency();
    bool applyScanDirection();
    int applyConfigs();
    int applyLidarIPAddress();
    // The address the lidar stores (0x0201), dotted; a CommandResult.
    int readLidarIPAddress(QString& ip);
    bool rebootLidar();
    int setFilterEnable(bool on);
    void setFilterLevel(uint32_t level);
    bool scanBlock();

    void scanThread();
    void lidar_info_thread();
    void closeThread();

    void setDriverTimeout(uint32_t ms);
    int device_stop_stream();
    int device_reboot();
    void receive_update_flag(uint32_t flag);
    void setDatagramTap(kes_sdk::DatagramTap tap);
    std::optional<kes_sdk::LinkStats> linkStats();

    // For the destructor of the owner: cuts every path back to it, ends the connection and
    // waits at most `bound_ms` for the jobs.
    void shutDown(int bound_ms);

    void sendState(LidarState state);
    // Runs `task` on the owner's thread, unless the owner is gone by then.
    void queueToOwner(std::function<void(LidarLogic&)> task);
    // Runs `f` on this thread while the owner is still there; its destructor waits for it.
    template <class F>
    bool withOwner(F&& f)
    {
        return jobs_.whileOpen([&] { f(*owner_); });
    }

    Guarded<QString> ip_addr_{QString::fromLatin1(kDefaultLidarAddress)};
    std::atomic<uint16_t> lidar_port_{2007};
    std::atomic<int> scan_frequency_{20};
    std::atomic<float> motor_frequency_{0.0f};
    std::atomic<int> scan_direction_{0};
    std::atomic<bool> filter_enabled_{true};
    std::atomic<uint32_t> filter_level_{0};
    std::atomic<int> busy_count_{0};
    std::atomic<bool> exit_flag_{true};
    std::atomic<bool> connected_{false};
    std::atomic<bool> settings_enabled_{false};
    std::atomic<bool> scan_set_flag_{false};
    std::atomic<bool> first_block_pending_{false};
    std::atomic<uint32_t> update_flag_{0};
    Guarded<QString> firmware_version_;
    Guarded<QString> hardware_version_;
    Guarded<QString> sdk_version_;
    std::atomic<bool> scan_thread_running_{false};
    std::atomic<bool> info_thread_running_{false};
    std::atomic<bool> language_{false};
    // CommandResult of the step that made the last operation fail (0 after a success).
    std::atomic<int> last_result_{0};

private:
    friend class DeviceUse;

    bool openAndGreet(const DevicePtr& device);
    void readVersions(kes_sdk::KesDriver& device);
    bool startStreaming(const DevicePtr& device);
    void readSettings(kes_sdk::KesDriver& device);
    bool fail(int result);
    bool discardDevice(const DevicePtr& device);
    DevicePtr takeDeviceWhenIdle(bool& idle);
    DevicePtr currentDevice();
    void publishScan();
    void scanLoop();
    void infoLoop(const WorkerPool::Job& job);
    void closeSequence(const WorkerPool::Job& job, uint64_t generation);
    // Until the close thread of `generation` (or a later one) has finished, or nothing is open.
    void waitUntilClosed(uint64_t generation);
    void queueSettleTimer();

    std::mutex mutex_; // held by disconnectLidar for its whole run
    std::mutex device_mutex_;
    DevicePtr device_;
    kes_sdk::DatagramTap tap_; // under device_mutex_, like the driver it is handed to
    kes_sdk::FullScanBlock full_scan_;
    // Counts the connections that started streaming; a close thread acts for its own only.
    std::atomic<uint64_t> generation_{0};
    std::atomic<uint64_t> closed_generation_{0};
    // Held while a connection starts streaming and while a close thread ends its own.
    std::recursive_mutex generation_mutex_;
    LidarLogic* const owner_; // only inside withOwner() and queueToOwner()
    WorkerPool jobs_;
};

// One use of the driver: counted in busy_count_ so the close thread waits for it. The
// check for a driver and the count are taken together under the device lock.
class DeviceUse {
public:
    DeviceUse(LidarCore& core, bool create);
    ~DeviceUse();
    DeviceUse(const DeviceUse&) = delete;
    DeviceUse& operator=(const DeviceUse&) = delete;

    explicit operator bool() const { return bool(device_); }
    kes_sdk::KesDriver* operator->() const { return device_.get(); }
    kes_sdk::KesDriver& operator*() const { return *device_; }
    const LidarCore::DevicePtr& shared() const { return device_; }
    bool created() const { return created_; }

private:
    LidarCore& core_;
    LidarCore::DevicePtr device_;
    bool created_ = false;
};
