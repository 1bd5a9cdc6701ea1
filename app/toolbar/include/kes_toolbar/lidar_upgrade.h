#pragma once

#include "kes_toolbar/upgrade_transfer.h"

#include <kes_workers/worker_pool.h>

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>

class LidarLogic;
class QMessageBox;
class QTimer;

namespace Ui {
class Lidar_Upgrade;
}

// Firmware upgrade: file choice, start checks, the start and transfer threads, and the
// count-down while the device restarts.
class Lidar_Upgrade : public QWidget {
    Q_OBJECT

public:
    explicit Lidar_Upgrade(QWidget* parent = nullptr);
    ~Lidar_Upgrade() override;

    void setLogic(LidarLogic* logic);
    void updateThread();
    // The transfer talks to LidarLogic's hooks after setLogic; this replaces them.
    void setUpgradeDevice(std::shared_ptr<UpgradeDevice> device);
    void setTimings(const UpgradeTimings& timings);
    bool hasRunningWorkers() const;
    // Stops the threads at their next pause and waits for them; true when they have ended.
    bool finishWorkers(int bound_ms);

signals:
    void send_update_flag(uint32_t flag);

public slots:
    void openbutton_clicked();
    void upgradebutton_clicked();
    void msgbox_callback();

private:
    // What the threads share with the window; they hold this, never the window.
    struct Shared {
        std::atomic<bool> running_{true};
        std::atomic<bool> busy_{false};
        std::atomic<int> progress_{0};
        QByteArray md5_;
        QString image_; // file_name as it was at the start
    };

    bool startChecks();
    void startThread();
    WorkerPool::Body transferJob();
    void endUpgrade(UpgradeStep step);
    void showFailure(const QString& text);
    void reportFlag(uint32_t flag);
    void showSuccess();
    void closeCountdown(const char* how);

    Ui::Lidar_Upgrade* ui;
    std::shared_ptr<QMessageBox> msgbox_;
    QTimer* timer_;
    int countdown_ = 0;
    QString file_name;
    LidarLogic* logic_ = nullptr;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::shared_ptr<UpgradeDevice> device_;
    UpgradeTimings timings_;
    bool flag_open_ = false; // flag 1 went out and neither 0 nor 2 yet
    WorkerPool workers_{this};
};
