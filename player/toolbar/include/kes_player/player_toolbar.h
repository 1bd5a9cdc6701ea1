#pragma once

#include <kes_sdk/scan_data.h>
#include <kes_workers/worker_pool.h>

#include <QFile>
#include <QList>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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
    void playLoop(const WorkerPool::Job& job);
    bool playPass(const WorkerPool::Job& job);
    void showFrameLocked(std::size_t frame);

    void loadFile(const WorkerPool::Job& job, const QString& path);
    void showProgress(int percent);
    void finishLoading(const QString& file_name);
    void setFrameValidator(std::size_t frames);

    bool createRecordFile();
    void startRecording();
    void stopRecording();
    // How long the GUI waits for a drain before it has the job give up: a stop (or the end)
    // waits longer than the job's own limit, a new start only a moment.
    static constexpr int kStopWaitMs = 3000;
    static constexpr int kStartWaitMs = 500;
    int finishRecordThread(int wait_ms);
    void recordLoop(const WorkerPool::Job& job);
    bool writeRecordBatch(const WorkerPool::Job& job);
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
    std::mutex mutex_;
    std::atomic<bool> paused_{true};
    QTimer* open_timer_ = nullptr;

    std::mutex queue_mutex_;
    int shown_percent_ = -1;
    bool slider_from_play_ = false; // the play job has shown that frame already
    // The play job and the loading jobs; the record job of each recording has a pool of its
    // own, so a stop can wait for it alone.
    WorkerPool jobs_{this};
    std::unique_ptr<WorkerPool> recorder_;
};
