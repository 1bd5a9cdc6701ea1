#pragma once

#include "kes_logic/guarded.h"

#include <kes_sdk/link_stats.h>
#include <kes_sdk/scan_data.h>

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(kes_sdk::ScanBlockData)

class LidarCore;
class QHostAddress;
class QTimer;
class ServiceModel;

namespace QMdnsEngine {
class AbstractServer;
class Resolver;
} // namespace QMdnsEngine

// The address a new LidarLogic starts with.
inline constexpr char kDefaultLidarAddress[] = "192.168.1.100";

// The one device object: connects, streams, polls, applies settings, discovers the lidar's
// address, and publishes all of it by signals emitted from its worker threads.
class LidarLogic : public QObject {
    Q_OBJECT

public:
    // `mdnsServer` (not owned) replaces the host's mDNS server; by default one is created.
    explicit LidarLogic(QMdnsEngine::AbstractServer* mdnsServer = nullptr, QObject* parent = nullptr);
    ~LidarLogic() override;

    [[nodiscard]] bool connectLidar();
    bool disconnectLidar();
    [[nodiscard]] bool applyScanFrequency();
    [[nodiscard]] bool applyScanDirection();
    [[nodiscard]] int applyConfigs();
    [[nodiscard]] int applyLidarIPAddress();
    // The address the lidar stores, as applyLidarIPAddress reads it; a CommandResult.
    [[nodiscard]] int readLidarIPAddress(QString& ip);
    [[nodiscard]] bool rebootLidar();
    [[nodiscard]] int setFilterEnable(bool on);
    void setFilterLevel(uint32_t level);
    void setColorMode(uint32_t mode);
    void scanThread();
    void lidar_info_thread();
    void closeThread();
    [[nodiscard]] bool scanBlock();

    void setDriverTimeout(uint32_t ms);
    // Service tools: a copy of every datagram of the connections made after this call, and
    // the link counters of the connection open now (none while closed).
    void setDatagramTap(kes_sdk::DatagramTap tap);
    [[nodiscard]] std::optional<kes_sdk::LinkStats> linkStats() const;
    [[nodiscard]] int device_stop_stream();
    [[nodiscard]] int device_reboot();
    [[nodiscard]] int start_upgrade();
    [[nodiscard]] int device_upgrade();
    [[nodiscard]] int upgradeEnd();
    [[nodiscard]] int upgradeCommit();
    [[nodiscard]] int upgradeSendMd5(const uint8_t* md5);
    [[nodiscard]] int upgradeWrite(const char* data, int len);

private:
    // Declared before the aliases below, which refer into it.
    const std::shared_ptr<LidarCore> core_;

public:
    Guarded<QString>& ip_addr_;
    std::atomic<uint16_t>& lidar_port_; // host order
    std::atomic<int>& scan_frequency_;
    std::atomic<float>& motor_frequency_;
    std::atomic<int>& scan_direction_;
    std::atomic<bool>& filter_enabled_;
    std::atomic<uint32_t>& filter_level_;
    std::atomic<int>& busy_count_;
    std::atomic<bool>& exit_flag_;
    std::atomic<bool>& connected_;
    std::atomic<bool>& settings_enabled_;
    std::atomic<bool>& scan_set_flag_;
    std::atomic<bool>& first_block_pending_;
    std::atomic<uint32_t>& update_flag_;
    Guarded<QString>& firmware_version_;
    Guarded<QString>& hardware_version_;
    Guarded<QString>& sdk_version_;
    std::atomic<bool>& scan_thread_running_;
    std::atomic<bool>& info_thread_running_;
    std::atomic<bool>& language_;
    std::atomic<int>& last_result_;

signals:
    void sendBlock(kes_sdk::ScanBlockData block);
    void sendBlockSum(uint32_t, uint32_t);
    void sendMotor(uint32_t rpm);
    void sendScanFrequency(int hz);
    void sendScanDirectionStatus(int direction);
    void sendState(QString state);
    void sendHV_Voltage(float volts);
    void sendAPD_temp(float degrees);
    void sendColorMode(uint32_t mode);
    void send_status(uint32_t status);
    void sendIP(QString ip);
    void sigDirChanged();

public slots:
    void receive_update_flag(uint32_t flag);
    void setLanguage(int num);

private:
    friend class LidarCore;

    void startSettleTimer();
    void stopDiscovery();
    void startDiscovery();
    void setUpDiscovery(QMdnsEngine::AbstractServer* server);
    void discoveryTick();
    void onResolved(const QHostAddress& address);

    QTimer* settle_timer_;
    QString service_type_;
    QMdnsEngine::AbstractServer* mdns_server_;
    ServiceModel* service_model_ = nullptr;
    QMdnsEngine::Resolver* resolver_ = nullptr;
    QTimer* mdns_timer_;
};
