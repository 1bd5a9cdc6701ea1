#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_format.h>
#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QIcon>

#include <chrono>
#include <cstdint>

namespace {
constexpr auto kFramePace = std::chrono::milliseconds(50);
}

void PlayerToolBar::playThread()
{
    stop_ = false;
    paused_ = true;
    play_thread_ = std::thread([this] { playLoop(); });
}

void PlayerToolBar::postToGui(std::function<void()> job)
{
    if (!stop_)
        QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

// The play thread sleeps between frames without the mutex and wakes on the notify, so it ends
// within one frame's emission; what it has posted is dropped with the widget.
void PlayerToolBar::stopPlayThread()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cond_.notify_all();
    play_thread_.join();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void PlayerToolBar::playLoop()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
        cond_.wait(lock, [this] { return !paused_ || stop_; });
        if (!stop_ && playPass(lock) && !stop_)
            emit end();
    }
}

// One run through the frames, from the shown one on; true when it ran past the last frame.
// frame_index_ always names the frame shown last, also while paused and after the end, and the
// mutex is free while a frame is on screen.
bool PlayerToolBar::playPass(std::unique_lock<std::mutex>& lock)
{
    if (std::size_t(frame_index_) + 1 >= kes_csv::frameCount(blocks_.size()))
        frame_index_ = 0;
    for (;;) {
        if (connected()) {
            paused_ = true;
            postToGui([this] { showPlayIdle(); });
        }
        showFrameLocked(frame_index_);
        const int shown = int(frame_index_);
        postToGui([this, shown] {
            slider_from_play_ = true;
            ui->horizontalSlider->setValue(shown);
            slider_from_play_ = false;
        });
        cond_.wait_for(lock, kFramePace, [this] { return bool(stop_); });
        if (stop_ || paused_)
            return false;
        // read again: a file opened meanwhile paused this pass, so the count is this file's
        if (std::size_t(frame_index_) + 1 >= kes_csv::frameCount(blocks_.size())) {
            paused_ = true;
            return true;
        }
        ++frame_index_;
    }
}

void PlayerToolBar::showFrameLocked(std::size_t frame)
{
    const std::size_t first = kes_csv::firstBlockOfFrame(frame);
    if (first + kes_csv::kBlocksPerFrame > blocks_.size())
        return;
    for (std::size_t i = first; i < first + kes_csv::kBlocksPerFrame; ++i)
        emit sendBlock(blocks_[i]);
}

void PlayerToolBar::onPlaybackEnd()
{
    showPlayIdle();
    setPlaybackControlsEnabled(true);
}

void PlayerToolBar::playButtonClicked(bool is_checked)
{
    if (connected()) {
        ui->playButton->setChecked(false);
        return;
    }
    if (!fileLoaded()) {
        ui->playButton->setChecked(false);
        qDebug() << "file no exit";
        return;
    }
    if (loading_) {
        ui->playButton->setChecked(false);
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "), QStringLiteral("请等待文件加载完成")});
        return;
    }
    if (!is_checked) {
        ui->playButton->setIcon(QIcon(QStringLiteral(":/Image/play.png")));
        ui->playButton->setText(QStringLiteral("播放"));
        setPlaybackControlsEnabled(true);
        paused_ = true;
        return;
    }
    ui->playButton->setIcon(QIcon(QStringLiteral(":/Image/suspend.png")));
    ui->playButton->setText(QStringLiteral("暂停"));
    setPlaybackControlsEnabled(false);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
    }
    cond_.notify_all();
}
