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
constexpr auto kIdlePoll = std::chrono::milliseconds(5);
constexpr auto kBatchPause = std::chrono::milliseconds(1);
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
    const int lost = finishRecordThread(kStopWait);
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
        finishRecordThread(kStartWait);
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

// Only after finishRecordThread: one thread at a time owns the file object and the queue.
void PlayerToolBar::recordThread()
{
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        record_queue_.clear();
    }
    record_lost_ = 0;
    record_done_ = false;
    record_thread_ = std::thread([this] { recordLoop(); });
}

// Waits a bounded time for the record thread to drain, then has it give up; returns how many
// blocks did not reach the file.
int PlayerToolBar::finishRecordThread(std::chrono::milliseconds wait)
{
    if (!record_thread_.joinable())
        return 0;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (!record_done_ && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    record_give_up_ = true;
    record_thread_.join();
    record_give_up_ = false;
    return record_lost_;
}

void PlayerToolBar::recordLoop()
{
    std::chrono::steady_clock::time_point failing_since{};
    while (!record_give_up_) {
        const bool active = recording_; // before the queue: blocks queued before a stop are seen
        bool empty = false;
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            empty = record_queue_.isEmpty();
        }
        if (empty && !active)
            break;
        if (empty) {
            std::this_thread::sleep_for(kIdlePoll);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (writeRecordBatch()) {
            failing_since = {};
        } else if (!active) {
            if (failing_since == std::chrono::steady_clock::time_point{})
                failing_since = now;
            else if (now - failing_since >= kDrainLimit)
                break;
        }
        std::this_thread::sleep_for(kBatchPause);
    }
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        record_lost_ = record_queue_.size();
        record_queue_.clear();
    }
    if (record_lost_ > 0)
        qDebug() << "record file lost blocks:" << int(record_lost_);
    record_done_ = true;
}

// Writes what is queued now, a block at a time; false when a block did not reach the file,
// which then stays at the front of the queue with those after it.
bool PlayerToolBar::writeRecordBatch()
{
    if (!record_file_.open(kOpenMode))
        return false;
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        count = record_queue_.size();
    }
    bool written = true;
    for (int i = 0; i < count && written && !record_give_up_; ++i) {
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
