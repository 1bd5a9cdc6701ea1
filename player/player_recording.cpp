#include "player_toolbar.h"

#include "csv_file_names.h"
#include "csv_writer.h"
#include "lidar_logic.h"
#include "player_prompts.h"
#include "ui_playertoolbar.h"

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
// After a stop, how long the thread keeps trying to reopen the file before it drops the rest.
constexpr auto kDrainLimit = std::chrono::seconds(2);
} // namespace

bool PlayerToolBar::createRecordFile()
{
    const QString directory = kes_csv::recordingDirectory(QCoreApplication::applicationDirPath());
    if (!QDir().mkpath(directory)) {
        qDebug() << "path create error:" << directory;
        return false;
    }
    const QString firmware = logic_->firmware_version_.get();
    record_path_ = kes_csv::recordingFilePath(QCoreApplication::applicationDirPath(), firmware,
                                              QDateTime::currentDateTime());
    qDebug() << "file " << record_path_ << firmware;
    record_file_.setFileName(record_path_);
    if (!record_file_.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    {
        kes_csv::CsvWriter writer(record_file_);
        writer.writeHeader();
    }
    record_file_.close();
    return true;
}

void PlayerToolBar::recordButtonClicked(bool is_checked)
{
    if (is_checked)
        startRecording();
    else
        stopRecording();
    if (is_checked || recording_)
        return;
    const QString text = QStringLiteral("录制完成，文件保存为:") + record_path_;
    if (playerPrompts().completion(this, text) == 0)
        playerPrompts().openFolder(QFileInfo(record_path_).absolutePath());
}

void PlayerToolBar::startRecording()
{
    if (connected() && createRecordFile()) {
        recording_ = true;
        ui->recordButton->setIcon(QIcon(QStringLiteral(":/Image/stop_record.png")));
        ui->recordButton->setText(QStringLiteral("停止"));
        connect(logic_, &LidarLogic::sendBlock, this, &PlayerToolBar::receiveBlock, Qt::UniqueConnection);
        recordThread();
        return;
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

// An earlier recording's thread drains into its own file first; the new one waits for it.
// Stale blocks are dropped here rather than on the thread, so none of the new ones races it.
void PlayerToolBar::recordThread()
{
    if (record_thread_.joinable())
        record_thread_.join();
    {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        record_queue_.clear();
    }
    record_thread_ = std::thread([this] { recordLoop(); });
}

void PlayerToolBar::recordLoop()
{
    std::chrono::steady_clock::time_point failing_since{};
    for (;;) {
        bool empty = false;
        {
            std::lock_guard<std::mutex> lock(queue_mutex_);
            empty = record_queue_.isEmpty();
        }
        if (!recording_ && empty)
            return;
        if (empty) {
            std::this_thread::sleep_for(kIdlePoll);
            continue;
        }
        if (writeRecordBatch()) {
            failing_since = {};
        } else if (!recording_) {
            const auto now = std::chrono::steady_clock::now();
            if (failing_since == std::chrono::steady_clock::time_point{})
                failing_since = now;
            if (now - failing_since >= kDrainLimit) {
                std::lock_guard<std::mutex> lock(queue_mutex_);
                qDebug() << "record file lost blocks:" << record_queue_.size();
                record_queue_.clear();
                return;
            }
        }
        std::this_thread::sleep_for(kBatchPause);
    }
}

// Writes what is queued now; false (with every block still queued) when the file won't open.
bool PlayerToolBar::writeRecordBatch()
{
    if (!record_file_.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    {
        kes_csv::CsvWriter writer(record_file_);
        int written = 0;
        for (;;) {
            kes_sdk::ScanBlockData block;
            {
                std::lock_guard<std::mutex> lock(queue_mutex_);
                if (record_queue_.isEmpty() || written >= record_queue_.size())
                    break;
                block = record_queue_.takeFirst();
            }
            writer.writeBlock(block, logic_->motor_frequency_);
            ++written;
        }
    }
    record_file_.close();
    return true;
}
