#include "player_toolbar.h"

#include "lidar_logic.h"
#include "ui_playertoolbar.h"

#include "csv_format.h"
#include "toolbar_prompts.h"

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
    play_done_ = false;
    play_thread_ = std::thread([this] {
        playLoop();
        play_done_ = true;
    });
}

void PlayerToolBar::postToGui(std::function<void()> job)
{
    if (!stop_)
        QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

// A blocking end() may wait for this thread's event loop, so its pending calls are dropped
// (which releases the waiter) until the play thread has ended.
void PlayerToolBar::stopPlayThread()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        paused_ = false;
    }
    cond_.notify_all();
    while (!play_done_) {
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    play_thread_.join();
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}

void PlayerToolBar::playLoop()
{
    while (!stop_) {
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [this] { return !paused_ || stop_; });
        if (stop_)
            return;
        if (!playPass(lock))
            continue;
        lock.unlock();
        if (!stop_)
            emit end();
    }
}

// One run through the frames; false when it ended paused or stopped rather than at the end.
bool PlayerToolBar::playPass(std::unique_lock<std::mutex>& lock)
{
    const std::int64_t frames = std::int64_t(kes_csv::frameCount(blocks_.size()));
    if (std::int64_t(frame_index_) >= frames - 1)
        frame_index_ = 0;
    while (std::int64_t(frame_index_) < frames) {
        while (paused_ && !stop_) {
            if (frame_index_ > 0)
                --frame_index_;
            cond_.wait(lock);
        }
        if (stop_)
            return false;
        if (connected()) {
            paused_ = true;
            postToGui([this] { showPlayIdle(); });
        }
        showFrameLocked(frame_index_);
        std::this_thread::sleep_for(kFramePace);
        const int shown = int(frame_index_);
        postToGui([this, shown] {
            slider_from_play_ = true;
            ui->horizontalSlider->setValue(shown);
            slider_from_play_ = false;
        });
        ++frame_index_;
    }
    paused_ = true;
    frame_index_ = 0;
    return true;
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
