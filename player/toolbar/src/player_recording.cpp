#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_append.h>
#include <kes_csv/csv_file_names.h>
#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include <chrono>

namespace {
constexpr int kIdlePollMs = 5;
constexpr int kBatchPauseMs = 1;
// After a stop, how long the thread keeps trying to write the rest before it counts it lost.
constexpr auto kDrainLimit = std::chrono::seconds(2);
constexpr auto kOpenMode = QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered;
} // namespace

bool PlayerToolBar::createRecordFile()
{
    const QString directory = kes_csv::recordingDirectory(QCoreApplication::applicationDirPath());
    if (!QDir().mkpath(directory)) {
        qDebug() << "path create error:" << directory;
        return false;
    }
    const QString firmware = logic_->firmware_version_.get();
    record_path_ =
        kes_csv::recordingFilePath(QCoreApplication::applicationDirPath(), firmware, QDateTime::currentDateTime());
    qDebug() << "file " << record_path_ << firmware;
    record_file_.setFileName(record_path_);
    if (!record_file_.open(kOpenMode))
        return false;
    const bool written =
        kes_csv::appendLines(record_file_, kes_csv::csvText([](kes_csv::CsvWriter& w) { w.writeHeader(); }));
    record_file_.close();
    return written;
}

// The box waits for the drain, so it can tell what reached the file.
void PlayerToolBar::recordButtonClicked(bool is_checked)
{
    if (is_checked) {
        startRecording();
        return;
    }
    stopRecording();
    const int lost = finishRecordThread(kStopWaitMs);
    if (lost > 0) {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "),
                           QStringLiteral("录制未完成，%1个数据块未能写入文件:").arg(lost) + record_path_});
        return;
    }
    const QString text = QStringLiteral("录制完成，文件保存为:") + record_path_;
    if (prompts().completion(this, text) == 0)
        prompts().openFolder(QFileInfo(record_path_).absolutePath());
}

// A recording stopped by a lost connection may still drain; it ends (or gives up) before the
// new one takes the file object and the queue.
void PlayerToolBar::startRecording()
{
    if (connected()) {
        finishRecordThread(kStartWaitMs);
        if (createRecordFile()) {
            recording_ = true;
            ui->recordButton->setIcon(QIcon(QStringLiteral(":/Image/stop_record.png")));
            ui->recordButton->setText(QStringLiteral("停止"));
            connect(logic_, &LidarLogic::sendBlock, this, &PlayerToolBar::receiveBlock, Qt::UniqueConnection);
            recordThread();
            return;
        }
    }
    recording_ = false;
    ui->recordButton->setChecked(false);
    ui->recordButton->setIcon(QIcon(QStringLiteral(":/Image/record.png")));
    ui->recordButton->setText(QStringLiteral("录制"));
}

void PlayerToolBar::stopRecording()
{
    recording_ = false;
    ui->recordButton->setIcon(QIcon(QStringLiteral(":/Image/record.png")));
    ui->recordButton->setText(QStringLiteral("录制"));
    if (logic_)
        disconnect(logic_, &LidarLogic::sendBlock, this, &PlayerToolBar::receiveBlock);
}

void PlayerToolBar::receiveBlock(kes_sdk::ScanBlockData block_)
{
    if (!connected() && !intercepting_)
        return;
    std::lock_guard<std::mutex> lock(queue_mutex_);
    record_queue_.append(std::move(block_));
}

// Only after finishRecordThread: one job at a time owns the file object and the queue.
void PlayerToolBar::recordThread()
{
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        record_queue_.clear();
    }
    recorder_ = std::make_unique<WorkerPool>(this);
    recorder_->start([this](WorkerPool::Job& job) { recordLoop(job); });
}

// Waits a bounded time for the record job to drain, then has it give up at its next block;
// returns how many blocks did not reach the file. Once its pool is closed the job touches
// neither the queue nor the file.
int PlayerToolBar::finishRecordThread(int wait_ms)
{
    if (!recorder_)
        return 0;
    recorder_->wait(wait_ms);
    recorder_.reset();
    int lost = 0;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        lost = record_queue_.size();
        record_queue_.clear();
    }
    if (lost > 0)
        qDebug() << "record file lost blocks:" << lost;
    return lost;
}

void PlayerToolBar::recordLoop(const WorkerPool::Job& job)
{
    std::chrono::steady_clock::time_point failing_since{};
    for (;;) {
        bool active = false;
        bool empty = true;
        bool written = true;
        const bool open = job.whileOpen([&] {
            active = recording_; // before the queue: blocks queued before a stop are seen
            {
                std::lock_guard<std::mutex> lock(queue_mutex_);
                empty = record_queue_.isEmpty();
            }
            if (!empty)
                written = writeRecordBatch(job);
        });
        if (!open || (empty && !active))
            return;
        if (empty) {
            if (!job.pause(kIdlePollMs))
                return;
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (written) {
            failing_since = {};
        } else if (!active) {
            if (failing_since == std::chrono::steady_clock::time_point{})
                failing_since = now;
            else if (now - failing_since >= kDrainLimit)
                return;
        }
        if (!job.pause(kBatchPauseMs))
            return;
    }
}

// Writes what is queued now, a block at a time; false when a block did not reach the file,
// which then stays at the front of the queue with those after it.
bool PlayerToolBar::writeRecordBatch(const WorkerPool::Job& job)
{
    if (!record_file_.open(kOpenMode))
        return false;
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        count = record_queue_.size();
    }
    bool written = true;
    for (int i = 0; i < count && written && job.open(); ++i) {
        kes_sdk::ScanBlockData block;
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            block = record_queue_.takeFirst();
        }
        const float frequency = logic_->motor_frequency_;
        written = kes_csv::appendLines(
            record_file_, kes_csv::csvText([&](kes_csv::CsvWriter& w) { w.writeBlock(block, frequency); }));
        if (!written) {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            record_queue_.prepend(std::move(block));
        }
    }
    record_file_.close();
    return written;
}
