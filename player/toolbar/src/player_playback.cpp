#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_format.h>
#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QDebug>
#include <QIcon>

#include <cstdint>

namespace {
constexpr int kFramePaceMs = 50;
}

void PlayerToolBar::playThread()
{
    paused_ = true;
    jobs_.start([this](WorkerPool::Job& job) { playLoop(job); });
}

// Waits for play while paused, for the tool bar's lifetime.
void PlayerToolBar::playLoop(const WorkerPool::Job& job)
{
    while (job.pause(-1, [this] { return !paused_; })) {
        if (playPass(job))
            job.whileOpen([this] { emit end(); });
    }
}

// One run through the frames, from the shown one on; true when it ran past the last frame.
// frame_index_ always names the frame shown last, also while paused and after the end. The
// mutex is free while a frame is on screen, so neither the GUI nor a close waits for a pass.
bool PlayerToolBar::playPass(const WorkerPool::Job& job)
{
    for (bool first = true;; first = false) {
        bool shown = false;
        bool ended = false;
        job.whileOpen([&] {
            std::lock_guard<std::mutex> lock(mutex_);
            // counted at every frame: a file opened meanwhile paused this pass
            const bool last = std::size_t(frame_index_) + 1 >= kes_csv::frameCount(blocks_.size());
            if (first && last) {
                frame_index_ = 0;
            } else if (!first) {
                if (paused_)
                    return;
                if (last) {
                    paused_ = true;
                    ended = true;
                    return;
                }
                ++frame_index_;
            }
            if (connected()) {
                paused_ = true;
                job.post([this] { showPlayIdle(); });
            }
            showFrameLocked(frame_index_);
            job.post([this, frame = int(frame_index_)] {
                slider_from_play_ = true;
                ui->horizontalSlider->setValue(frame);
                slider_from_play_ = false;
            });
            shown = true;
        });
        if (!shown)
            return ended;
        if (!job.pause(kFramePaceMs))
            return false;
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
    paused_ = false;
    jobs_.wake();
}
