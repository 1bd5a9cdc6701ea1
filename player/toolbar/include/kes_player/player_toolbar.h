#pragma once

#include <kes_sdk/scan_data.h>

#include <QFile>
#include <QList>
#include <QString>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class LidarLogic;
class QTimer;

namespace Ui {
class PlayerToolBar;
}

// Records live blocks to CSV files, plays recorded files frame by frame and cuts the shown
// frame out into a file of its own.
class PlayerToolBar : public QWidget {
    Q_OBJECT

public:
    explicit PlayerToolBar(QWidget* parent = nullptr);
    ~PlayerToolBar() override;

    void setLogic(LidarLogic* logic);
    void playThread();
    void recordThread();

    QString recordPath() const { return record_path_; }

signals:
    void sendBlock(kes_sdk::ScanBlockData singleBlock);
    void openFile();
    void end();
    void singleBlock(kes_sdk::ScanBlockData block);

public slots:
    void recordButtonClicked(bool is_checked);
    void openButtonClicked();
    void saveButtonClicked();
    void startFrameButtonClicked();
    void preFrameButtonClicked();
    void playButtonClicked(bool is_checked);
    void nextFrameButtonClicked();
    void endFrameButtonClicked();
    void valueChangedSlot(int value);
    void textChangedSlot(QString text);
    void receiveBlock(kes_sdk::ScanBlockData block_);
    void receive_status(uint32_t status);
    void setLanguage(int num);

private:
    void connectControls();
    bool connected() const;
    bool fileLoaded() const;
    bool navigationAllowed() const;
    void setPlaybackControlsEnabled(bool enabled);
    void showPlayIdle();
    void onPlaybackEnd();
    void playLoop();
    bool playPass(std::unique_lock<std::mutex>& lock);
    void showFrameLocked(std::size_t frame);
    void postToGui(std::function<void()> job);
    void stopPlayThread();

    void loadFile();
    void showProgress(int percent);
    void finishLoading(const QString& file_name);
    void setFrameValidator(std::size_t frames);

    bool createRecordFile();
    void startRecording();
    void stopRecording();
    // How long the GUI waits for a drain before it has the thread give up: a stop (or the
    // end) waits longer than the thread's own limit, a new start only a moment.
    static constexpr std::chrono::milliseconds kStopWait{3000};
    static constexpr std::chrono::milliseconds kStartWait{500};
    int finishRecordThread(std::chrono::milliseconds wait);
    void recordLoop();
    bool writeRecordBatch();
    QString exportFrame();

    Ui::PlayerToolBar* ui;
    LidarLogic* logic_ = nullptr;
    QFile record_file_;
    QFile intercept_file_;
    QString record_path_;
    QString file_path_;
    QList<kes_sdk::ScanBlockData> record_queue_;
    std::vector<kes_sdk::ScanBlockData> blocks_;
    uint32_t frame_index_ = 0;
    bool intercepting_ = false;
    std::atomic<bool> loading_{false};
    std::atomic<bool> recording_{false};
    std::thread play_thread_;
    std::mutex mutex_;
    std::condition_variable cond_;
    std::atomic<bool> paused_{true};
    std::atomic<bool> stop_{false};
    QTimer* open_timer_ = nullptr;

    std::atomic<bool> cancel_load_{false};
    std::thread load_thread_;
    std::thread record_thread_;
    std::mutex queue_mutex_;
    std::atomic<bool> record_done_{true};
    std::atomic<bool> record_give_up_{false};
    std::atomic<int> record_lost_{0};
    int shown_percent_ = -1;
    bool slider_from_play_ = false; // the play thread has shown that frame already
};
