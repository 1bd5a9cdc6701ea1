// The tool bar's device work. Each job calls LidarLogic only while the tool bar is open
// and hands every widget change to the GUI thread, in order with its calls. The buttons
// are disabled before a job starts, so a quick second click cannot start it twice.
#include "kes_toolbar/lidar_toolbar.h"
#include "toolbar_settings.h"
#include "ui_lidartoolbar.h"

#include <kes_logic/lidar_logic.h>

#include <QDebug>

#include <utility>

void LidarToolBar::connectThread()
{
    ui->switchButton->setEnabled(false);
    LidarLogic* logic = logic_;
    workers_.start([this, logic](WorkerPool::Job& job) {
        const bool ok = job.open() && logic->connectLidar();
        job.post([this, ok] {
            if (ok)
                showConnected();
            else
                showConnectFailed();
            ui->switchButton->setEnabled(true);
        });
    });
}

void LidarToolBar::disconncetThread()
{
    ui->switchButton->setEnabled(false);
    showOffline();
    LidarLogic* logic = logic_;
    workers_.start([this, logic](WorkerPool::Job& job) {
        if (job.open())
            logic->disconnectLidar();
        if (job.post([this] { ui->switchButton->setEnabled(true); }))
            qDebug() << "disconnectLidar complete";
    });
}

void LidarToolBar::settingsClicked()
{
    if (!logic_->connected_)
        return;
    ui->pushButton->setEnabled(false);
    LidarLogic* logic = logic_;
    workers_.start([this, logic](WorkerPool::Job& job) {
        const SettingsCalls calls{
            [logic] { return logic->applyScanFrequency(); },
            [logic] { return logic->applyScanDirection(); },
            [logic] { return logic->applyConfigs(); },
            [logic] { return logic->applyLidarIPAddress(); },
        };
        runSettingsSequence(
            calls, [&job] { return job.open(); },
            [this, logic, &job](SettingsEvent event) {
                if (event == SettingsEvent::FrequencyFailed)
                    job.post([this] { showMessage(ToolBarMessage::FrequencyFailed); });
                else if (event == SettingsEvent::AddressFailed)
                    job.post([this] { showMessage(ToolBarMessage::AddressFailed); });
                else
                    job.start([this, logic](WorkerPool::Job& reboot) { rebootThread(reboot, this, logic); });
            });
        job.post([this] { ui->pushButton->setEnabled(true); });
    });
}

// Runs as a job of its own after an address change; the settings job does not wait for it.
void LidarToolBar::rebootThread(WorkerPool::Job& job, LidarToolBar* bar, LidarLogic* logic)
{
    job.post([bar] {
        bar->ui->switchButton->setEnabled(false);
        bar->showOffline();
    });
    if (!job.open())
        return;
    if (logic->rebootLidar())
        qDebug() << "reboot ok.";
    else
        job.post([bar] { bar->showMessage(ToolBarMessage::RestartFailed); });
    job.post([bar] { bar->ui->switchButton->setEnabled(true); });
}

void LidarToolBar::filterSwitched(bool on)
{
    if (!logic_->connected_)
        return;
    ui->horizontalSlider->setEnabled(on);
    ui->filterEdit->setEnabled(on);
    ui->horizontalSlider->setValue(int(logic_->filter_level_.load()));
    QMetaObject::invokeMethod(
        this,
        [this] {
            ui->checkBox->setEnabled(false);
            // The tool bar has no box for a refused filter switch.
            (void)logic_->setFilterEnable(ui->checkBox->isChecked());
            ui->checkBox->setEnabled(true);
        },
        Qt::QueuedConnection);
}

void LidarToolBar::filterLevelChanged(int value)
{
    if (!logic_->connected_)
        return;
    ui->filterEdit->setText(QString::number(value));
    const auto level = uint32_t(ui->filterEdit->text().toInt());
    if (level_sending_)
        next_level_ = level;
    else
        sendFilterLevel(level);
}

// One level at a time: what is typed meanwhile waits, and only the last of it goes next, so
// the device ends at the level the field shows.
void LidarToolBar::sendFilterLevel(uint32_t level)
{
    level_sending_ = true;
    ui->horizontalSlider->setEnabled(false);
    LidarLogic* logic = logic_;
    workers_.start([this, logic, level](WorkerPool::Job& job) {
        if (job.open())
            logic->setFilterLevel(level);
        job.post([this] { filterLevelSent(); });
    });
}

void LidarToolBar::filterLevelSent()
{
    level_sending_ = false;
    const std::optional<uint32_t> next = std::exchange(next_level_, std::nullopt);
    if (next && logic_->connected_)
        sendFilterLevel(*next);
    else
        ui->horizontalSlider->setEnabled(true);
}
