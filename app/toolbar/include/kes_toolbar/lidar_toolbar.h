#pragma once

#include "kes_toolbar/toolbar_texts.h"

#include <kes_workers/worker_pool.h>

#include <QString>
#include <QWidget>

#include <cstdint>
#include <optional>

class LidarLogic;
class Lidar_Upgrade;
class QEvent;

namespace Ui {
class LidarToolBar;
}

// Connection, address and device settings of the lidar, colour mode and language. Thin:
// the device work is LidarLogic's, run on the tool bar's worker jobs.
class LidarToolBar : public QWidget {
    Q_OBJECT

public:
    explicit LidarToolBar(QWidget* parent = nullptr);
    ~LidarToolBar() override;

    // Before the tool bar is shown; the handlers use the logic unconditionally.
    void setLogic(LidarLogic* logic);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void initConnect();
    void connectThread();
    void disconncetThread();

signals:
    void sig_screenshot_clicked(QString sn);
    void sig_pushbtn_clicked();
    void sig_language(int num);

private slots:
    void languageBtnSelected();

public slots:
    void switchButtonClicked();
    void update_clicked();
    void receiveIP(QString ip);

private:
    void prepareWidgets();
    void connectLogicSignals();
    void showIndicator(bool connected);
    void showOffline();
    void showConnected();
    void showConnectFailed();
    void applyTexts(const ToolBarTexts& texts);
    void reactToState(const QString& state);
    void showMessage(ToolBarMessage message);
    void settingsClicked();
    static void rebootThread(WorkerPool::Job& job, LidarToolBar* bar, LidarLogic* logic);
    void filterSwitched(bool on);
    void filterLevelChanged(int value);
    void sendFilterLevel(uint32_t level);
    void filterLevelSent();
    void closeUpgrade();

    Ui::LidarToolBar* ui;
    LidarLogic* logic_ = nullptr;
    Lidar_Upgrade* upgrade_ = nullptr;
    bool language_ = false;
    bool level_sending_ = false;
    std::optional<uint32_t> next_level_;
    WorkerPool workers_{this};
};
