#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_logic/lidar_logic.h>

#include <QFileInfo>
#include <QIcon>
#include <QTimer>

namespace {
// The play job ends at once; a loading job within one chunk of the file.
constexpr int kCloseBoundMs = 1000;
} // namespace

PlayerToolBar::PlayerToolBar(QWidget* parent) : QWidget(parent), ui(new Ui::PlayerToolBar)
{
    ui->setupUi(this);
    playThread();
    intercepting_ = false;
    loading_ = false;
    recording_ = false;
    ui->horizontalSlider->setMinimum(0);
    ui->horizontalSlider->setValue(1);
    ui->horizontalSlider->setEnabled(false);
    ui->lineEdit->setEnabled(false);
    ui->recordButton->setEnabled(false);
    open_timer_ = new QTimer(this);
    connect(open_timer_, &QTimer::timeout, this, [this] {
        open_timer_->stop();
        emit openFile();
    });
    ui->line_3->hide();
    ui->label->hide();
    ui->progressBar->hide();
    connectControls();
}

// Once the pools are closed no job reaches the tool bar, so the form can go. The loading job
// stops at its next batch and the record job after the drain.
PlayerToolBar::~PlayerToolBar()
{
    if (logic_)
        disconnect(logic_, &LidarLogic::sendBlock, this, &PlayerToolBar::receiveBlock);
    recording_ = false;
    jobs_.closeAndWait(kCloseBoundMs);
    finishRecordThread(kStopWaitMs);
    delete ui;
}

void PlayerToolBar::connectControls()
{
    connect(ui->recordButton, &QToolButton::clicked, this, &PlayerToolBar::recordButtonClicked);
    connect(ui->openButton, &QToolButton::clicked, this, &PlayerToolBar::openButtonClicked);
    connect(ui->saveButton, &QToolButton::clicked, this, &PlayerToolBar::saveButtonClicked);
    connect(ui->startFrameButton, &QToolButton::clicked, this, &PlayerToolBar::startFrameButtonClicked);
    connect(ui->preFrameButton, &QToolButton::clicked, this, &PlayerToolBar::preFrameButtonClicked);
    connect(ui->playButton, &QToolButton::clicked, this, &PlayerToolBar::playButtonClicked);
    connect(ui->nextFrameButton, &QToolButton::clicked, this, &PlayerToolBar::nextFrameButtonClicked);
    connect(ui->endFrameButton, &QToolButton::clicked, this, &PlayerToolBar::endFrameButtonClicked);
    connect(ui->horizontalSlider, &QSlider::valueChanged, this, &PlayerToolBar::valueChangedSlot);
    connect(ui->lineEdit, &QLineEdit::textChanged, this, &PlayerToolBar::textChangedSlot);
    connect(this, &PlayerToolBar::end, this, &PlayerToolBar::onPlaybackEnd, Qt::QueuedConnection);
}

void PlayerToolBar::setLogic(LidarLogic* logic)
{
    logic_ = logic;
}

bool PlayerToolBar::connected() const
{
    return logic_ && logic_->connected_;
}

bool PlayerToolBar::fileLoaded() const
{
    return QFileInfo(file_path_).isFile();
}

void PlayerToolBar::setPlaybackControlsEnabled(bool enabled)
{
    ui->startFrameButton->setEnabled(enabled);
    ui->preFrameButton->setEnabled(enabled);
    ui->nextFrameButton->setEnabled(enabled);
    ui->endFrameButton->setEnabled(enabled);
    ui->lineEdit->setEnabled(enabled);
    ui->horizontalSlider->setEnabled(enabled);
}

void PlayerToolBar::showPlayIdle()
{
    ui->playButton->setChecked(false);
    ui->playButton->setIcon(QIcon(QStringLiteral(":/Image/play.png")));
    ui->playButton->setText(QStringLiteral("播放"));
}

void PlayerToolBar::receive_status(uint32_t status)
{
    QWidget* const playback[] = {ui->startFrameButton, ui->preFrameButton, ui->nextFrameButton, ui->endFrameButton,
                                 ui->playButton};
    if (status != 0) {
        ui->horizontalSlider->setEnabled(false);
        ui->lineEdit->setEnabled(false);
        ui->saveButton->setEnabled(false);
        for (QWidget* widget : playback)
            widget->setEnabled(false);
        ui->recordButton->setEnabled(true);
        return;
    }
    if (fileLoaded()) {
        ui->horizontalSlider->setEnabled(true);
        ui->lineEdit->setEnabled(true);
    }
    if (recording_) {
        stopRecording();
        ui->recordButton->setChecked(false);
    }
    ui->recordButton->setEnabled(false);
    ui->saveButton->setEnabled(true);
    for (QWidget* widget : playback)
        widget->setEnabled(true);
}

void PlayerToolBar::setLanguage(int num)
{
    if (num != 0 && num != 1)
        return;
    const bool en = num == 0;
    ui->openButton->setText(en ? QStringLiteral("Open") : QStringLiteral("打开"));
    ui->playButton->setText(en ? QStringLiteral("Play") : QStringLiteral("播放"));
    ui->preFrameButton->setText(en ? QStringLiteral("Pre-frame") : QStringLiteral("前一帧"));
    ui->recordButton->setText(en ? QStringLiteral("Record") : QStringLiteral("录制"));
    ui->saveButton->setText(en ? QStringLiteral("Intercepting") : QStringLiteral("截取"));
    ui->startFrameButton->setText(en ? QStringLiteral("Start-frame") : QStringLiteral("起始"));
    ui->endFrameButton->setText(en ? QStringLiteral("End-frame") : QStringLiteral("结束"));
    ui->label_4->setText(en ? QStringLiteral("Data Frame") : QStringLiteral("数据帧"));
    ui->nextFrameButton->setText(en ? QStringLiteral("Next-frame") : QStringLiteral("后一帧"));
}
