#include "kes_toolbar/lidar_upgrade.h"

#include "ui_lidar_upgrade.h"
#include "upgrade_device.h"

#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QTimer>

namespace {

// The threads end at their next pause once told; the longest call between pauses is one
// exchange with the device at the 1000 ms time-out the start sets.
constexpr int kDestroyBoundMs = 3000;
constexpr uint32_t kFlagStarts = 1;
constexpr uint32_t kFlagSucceeded = 0;
constexpr uint32_t kFlagFailed = 2;

QString countdownText(int seconds)
{
    return QStringLiteral("%1 %2 %3")
        .arg(QStringLiteral("升级成功，等待设备重启:"))
        .arg(seconds)
        .arg(QStringLiteral("秒"));
}

} // namespace

Lidar_Upgrade::Lidar_Upgrade(QWidget* parent) : QWidget(parent), ui(new Ui::Lidar_Upgrade), timer_(new QTimer())
{
    ui->setupUi(this);
    connect(ui->openButton, &QToolButton::clicked, this, &Lidar_Upgrade::openbutton_clicked);
    connect(ui->upgradeButton, &QPushButton::clicked, this, &Lidar_Upgrade::upgradebutton_clicked);
    ui->fileEdit->setReadOnly(true);
    ui->progressBar->setRange(0, 100);
    timer_->setInterval(timings_.countdown_tick_ms);
    connect(timer_, &QTimer::timeout, this, &Lidar_Upgrade::msgbox_callback);
}

Lidar_Upgrade::~Lidar_Upgrade()
{
    finishWorkers(kDestroyBoundMs);
    delete timer_;
    msgbox_.reset();
    delete ui;
}

void Lidar_Upgrade::setLogic(LidarLogic* logic)
{
    logic_ = logic;
    qDebug() << "Lidar_Upgrade, setLogic";
    connect(this, &Lidar_Upgrade::send_update_flag, logic_, &LidarLogic::receive_update_flag);
    device_ = std::make_shared<LogicUpgradeDevice>(logic_);
}

void Lidar_Upgrade::setUpgradeDevice(std::shared_ptr<UpgradeDevice> device)
{
    device_ = std::move(device);
}

void Lidar_Upgrade::setTimings(const UpgradeTimings& timings)
{
    timings_ = timings;
    timer_->setInterval(timings_.countdown_tick_ms);
}

bool Lidar_Upgrade::hasRunningWorkers() const
{
    return workers_.running() > 0;
}

bool Lidar_Upgrade::finishWorkers(int bound_ms)
{
    const bool ended = workers_.closeAndWait(bound_ms);
    // The logic holds the device open for an upgrade until it hears how it ended.
    if (flag_open_)
        reportFlag(kFlagFailed);
    return ended;
}

void Lidar_Upgrade::openbutton_clicked()
{
    qDebug() << "openbutton_clicked";
    file_name = prompts().openFile({nullptr, QStringLiteral("Open File"), QCoreApplication::applicationDirPath(),
                                    QStringLiteral("Excel(*.bin)")});
    qDebug() << "file_name" << file_name;
    ui->fileEdit->setText(file_name);
}

void Lidar_Upgrade::upgradebutton_clicked()
{
    if (shared_->busy_.exchange(true))
        return;
    qDebug() << "upgradebutton_clicked";
    if (!startChecks()) {
        shared_->busy_ = false;
        return;
    }
    logic_->setDriverTimeout(1000);
    qDebug() << "device_stop_stream ret" << logic_->device_stop_stream();
    qDebug() << "device_upgrade ret" << logic_->device_upgrade();
    reportFlag(kFlagStarts);
    ui->progressBar->setValue(0);
    startThread();
}

// An empty image is refused like an unreadable one: the progress divides by its size.
bool Lidar_Upgrade::startChecks()
{
    if (!logic_ || !logic_->connected_) {
        showFailure(QStringLiteral("请先连接雷达！"));
        ui->progressBar->setValue(0);
        return false;
    }
    const QByteArray md5 = imageDigest(file_name);
    if (md5.isEmpty()) {
        qDebug() << "open file fail";
        showFailure(upgradeFailureText(UpgradeStep::NoImage));
        return false;
    }
    shared_->md5_ = md5;
    shared_->image_ = file_name;
    return true;
}

void Lidar_Upgrade::startThread()
{
    workers_.start([this, shared = shared_, device = device_, timings = timings_](WorkerPool::Job& job) {
        const UpgradeStep step = startUpgrade(*device, timings, [&job](int ms) { return job.pause(ms); });
        if (step == UpgradeStep::Done) {
            shared->running_ = true;
            job.post([this] { updateThread(); });
            return;
        }
        if (step == UpgradeStep::StartRefused) {
            job.post([this] { showFailure(upgradeFailureText(UpgradeStep::StartRefused)); });
            job.post([this] { reportFlag(kFlagFailed); });
        }
        shared->busy_ = false;
    });
}

void Lidar_Upgrade::updateThread()
{
    workers_.start(transferJob());
    qDebug() << "update_thread eixt";
}

WorkerPool::Body Lidar_Upgrade::transferJob()
{
    return [this, shared = shared_, device = device_, timings = timings_](WorkerPool::Job& job) {
        if (!shared->running_)
            return;
        const auto progress = [this, shared, &job](int percent) {
            shared->progress_ = percent;
            job.post([this, percent] { ui->progressBar->setValue(percent); });
        };
        const UpgradeStep step = transferImage(
            *device, shared->image_, shared->md5_, timings, [&job](int ms) { return job.pause(ms); }, progress);
        if (step != UpgradeStep::Cancelled)
            job.post([this, step] { endUpgrade(step); });
        shared->busy_ = false;
        shared->running_ = false;
        if (step != UpgradeStep::Cancelled)
            job.post([this, step] { reportFlag(step == UpgradeStep::Done ? kFlagSucceeded : kFlagFailed); });
    };
}

void Lidar_Upgrade::endUpgrade(UpgradeStep step)
{
    if (step == UpgradeStep::Done)
        showSuccess();
    else
        showFailure(upgradeFailureText(step));
}

void Lidar_Upgrade::showFailure(const QString& text)
{
    prompts().message({QMessageBox::Warning, this, QStringLiteral(" "), text});
}

void Lidar_Upgrade::reportFlag(uint32_t flag)
{
    flag_open_ = flag == kFlagStarts;
    emit send_update_flag(flag);
}

void Lidar_Upgrade::showSuccess()
{
    ui->progressBar->setValue(100);
    msgbox_.reset();
    // Deferred: the box may be inside its own signal when it goes.
    msgbox_ = std::shared_ptr<QMessageBox>(new QMessageBox(), [](QMessageBox* box) {
        box->hide();
        box->deleteLater();
    });
    // Like its window, the box is no reason to outlive the main window.
    msgbox_->setAttribute(Qt::WA_QuitOnClose, false);
    countdown_ = 0;
    msgbox_->setText(countdownText(10));
    QMessageBox* box = msgbox_.get();
    connect(box, &QMessageBox::accepted, this, [this, box] {
        if (msgbox_.get() == box)
            closeCountdown("accepted");
    });
    connect(box, &QMessageBox::rejected, this, [this, box] {
        if (msgbox_.get() == box)
            closeCountdown("rejected");
    });
    timer_->start(timings_.countdown_tick_ms);
    msgbox_->show();
}

void Lidar_Upgrade::msgbox_callback()
{
    qDebug() << "timer_countdown" << countdown_;
    const int seconds = 10 - countdown_;
    if (msgbox_)
        msgbox_->setText(countdownText(seconds));
    if (seconds == 0) {
        timer_->stop();
        msgbox_.reset();
    }
    ++countdown_;
}

void Lidar_Upgrade::closeCountdown(const char* how)
{
    qDebug() << how;
    timer_->stop();
    msgbox_.reset();
}
