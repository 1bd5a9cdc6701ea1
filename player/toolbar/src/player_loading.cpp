#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>
#include <kes_prompts/prompts.h>

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <algorithm>

void PlayerToolBar::openButtonClicked()
{
    if (connected()) {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "),
                           QStringLiteral("请断开雷达与上位机连接后，再播放点云文件")});
        return;
    }
    if (loading_) {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "), QStringLiteral("当前正在加载文件")});
        return;
    }
    const QString path = prompts().openFile({this, tr("Open File"), QCoreApplication::applicationDirPath(),
                                             QString::fromLatin1(kes_csv::kOpenDialogFilter)});
    if (!QFileInfo(path).isFile()) {
        qDebug() << "open file no exit";
        return;
    }
    if (!paused_) {
        paused_ = true;
        showPlayIdle();
        setPlaybackControlsEnabled(true);
    }
    file_path_ = path;
    ui->label->setText(QStringLiteral("加载中..."));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        blocks_.clear();
        frame_index_ = 0;
    }
    loading_ = true; // before the job runs, so a second open is refused at once
    jobs_.start([this, path](WorkerPool::Job& job) { loadFile(job, path); });
}

// Loading job: blocks arrive in batches, each appended under the player's mutex. Once the tool
// bar closes its pool, the next batch is refused and the reading stops.
void PlayerToolBar::loadFile(const WorkerPool::Job& job, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        job.whileOpen([this] { loading_ = false; });
        return;
    }
    job.post([this] {
        ui->lineEdit->setEnabled(false);
        ui->horizontalSlider->setEnabled(false);
        showProgress(0);
    });
    std::atomic<bool> cancel{false};
    const auto sink = [&](std::vector<kes_sdk::ScanBlockData>&& batch, const kes_csv::ReadProgress& progress) {
        cancel = !job.whileOpen([&] {
            std::lock_guard<std::mutex> lock(mutex_);
            blocks_.insert(blocks_.end(), std::make_move_iterator(batch.begin()),
                           std::make_move_iterator(batch.end()));
        });
        const int percent = int(progress.fraction() * 100.0);
        job.post([this, percent] { showProgress(percent); });
    };
    const kes_csv::ReadStatus status = kes_csv::readBlocks(file, sink, &cancel);
    file.close();
    if (status == kes_csv::ReadStatus::Cancelled)
        return; // the tool bar is going away
    // What was read before a read error or a damaged part is shown, as of a truncated file.
    if (status != kes_csv::ReadStatus::Ok)
        qDebug() << "file read stopped early:" << path;
    const QString name = QFileInfo(path).fileName();
    job.post([this, name] { finishLoading(name); });
}

void PlayerToolBar::showProgress(int percent)
{
    if (percent == shown_percent_)
        return;
    shown_percent_ = percent;
    ui->progressBar->setValue(percent);
    ui->progressBar->show();
}

// Runs while loading_ is still set, so the slider changes reach no frame.
void PlayerToolBar::finishLoading(const QString& file_name)
{
    std::size_t frames = 0;
    uint32_t index = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frames = kes_csv::frameCount(blocks_.size());
        index = frame_index_;
    }
    ui->progressBar->hide();
    shown_percent_ = -1;
    ui->label->setText(file_name);
    ui->horizontalSlider->setEnabled(true);
    // setMaximum(-1) would drag the minimum down with it, for every later file too
    ui->horizontalSlider->setRange(0, std::max(int(frames) - 1, 0));
    ui->indexLabel->setText(QStringLiteral("/") + QString::number(frames));
    ui->lineEdit->setEnabled(true);
    ui->lineEdit->setReadOnly(false);
    ui->lineEdit->setText(QString::number(index + 1));
    ui->horizontalSlider->setValue(int(index));
    setFrameValidator(frames);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        showFrameLocked(0);
    }
    open_timer_->start(50);
    loading_ = false;
}
