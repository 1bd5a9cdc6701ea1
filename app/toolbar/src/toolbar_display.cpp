// How the tool bar shows the connection, and its reaction to the logic's state texts.
#include "kes_toolbar/lidar_toolbar.h"
#include "ui_lidartoolbar.h"

#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QIcon>
#include <QPixmap>

void LidarToolBar::showIndicator(bool connected)
{
    ui->switchButton->setIcon(
        QIcon(connected ? QStringLiteral(":/Image/connect.png") : QStringLiteral(":/Image/disconnect.png")));
    const QPixmap state(connected ? QStringLiteral(":/Image/state_connect.png")
                                  : QStringLiteral(":/Image/state.png"));
    ui->stateLabel->setPixmap(state.scaled(20, 20, Qt::IgnoreAspectRatio));
}

// Disconnected or rebooting.
void LidarToolBar::showOffline()
{
    showIndicator(false);
    ui->checkBox->setEnabled(false);
    ui->checkBox->setChecked(false);
    ui->horizontalSlider->setEnabled(false);
    ui->filterEdit->setEnabled(false);
    ui->lineEdit->setEnabled(false);
    ui->lineEdit->setReadOnly(true);
}

void LidarToolBar::showConnected()
{
    showIndicator(true);
    ui->checkBox->setEnabled(true);
    ui->lineEdit->setEnabled(true);
    ui->lineEdit->setReadOnly(false);
    if (logic_->filter_enabled_) {
        ui->horizontalSlider->setEnabled(true);
        ui->filterEdit->setEnabled(true);
        ui->checkBox->setChecked(true);
        // The tool bar has no box for a refused filter switch.
        QMetaObject::invokeMethod(
            this, [this] { (void)logic_->setFilterEnable(true); }, Qt::QueuedConnection);
        const uint32_t level = logic_->filter_level_;
        ui->horizontalSlider->setValue(int(level));
        ui->filterEdit->setText(QString::number(level));
    }
    ui->firmware_label->setText(logic_->firmware_version_);
    ui->hardware_label->setText(logic_->hardware_version_);
}

void LidarToolBar::showConnectFailed()
{
    ui->checkBox->setEnabled(false);
    showIndicator(false);
}

// Exact texts of both languages; every other state leaves the tool bar as it is.
void LidarToolBar::reactToState(const QString& state)
{
    if (state == QStringLiteral("故障") || state == QStringLiteral("Malfunction")) {
        showIndicator(false);
        ui->checkBox->setEnabled(false);
        ui->lineEdit->setEnabled(false);
        ui->lineEdit->setReadOnly(true);
        prompts().chime();
        showMessage(ToolBarMessage::ConnectionAnomaly);
    } else if (state == QStringLiteral("升级") || state == QStringLiteral("Upgrade")) {
        showIndicator(false);
        ui->checkBox->setEnabled(false);
    }
}

// The language is the one in force when the box comes up.
void LidarToolBar::showMessage(ToolBarMessage message)
{
    prompts().message(toolBarPrompt(message, language_, this));
}
