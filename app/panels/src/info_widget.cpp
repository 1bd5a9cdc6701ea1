#include "kes_panels/info_widget.h"

#include "ui_info_widget.h"

#include <array>
#include <utility>

InfoWidget::InfoWidget(QWidget* parent) : QWidget(parent), ui(new Ui::InfoWidget)
{
    ui->setupUi(this);
    ui->label_4->hide();
    ui->stateLabel_hv->hide();
}

InfoWidget::~InfoWidget()
{
    delete ui;
}

void InfoWidget::setFreq(const QString& text)
{
    ui->label->setText(text);
}

void InfoWidget::setState(const QString& text)
{
    ui->stateLabel->setText(text);
}

void InfoWidget::setVoltage(const QString& text)
{
    ui->stateLabel_hv->setText(text);
}

void InfoWidget::setTemp(const QString& text)
{
    ui->stateLabel_temp->setText(text);
}

void InfoWidget::setAngle(const QString& text)
{
    ui->angle_label->setText(text);
}

void InfoWidget::setIntensity(const QString& text)
{
    ui->intensity_label->setText(text);
}

void InfoWidget::setDistance(const QString& text)
{
    ui->distance_label->setText(text);
}

void InfoWidget::setLanguage(int num)
{
    if (num != 0 && num != 1)
        return;
    setCaptions(num == 1);
    translateState(num == 1);
}

void InfoWidget::setCaptions(bool chinese)
{
    ui->label_2->setText(chinese ? QString("雷达状态:") : QString("Lidar Status:"));
    ui->label_3->setText(chinese ? QString("扫描频率:") : QString("Scan Frequency:"));
    ui->label_4->setText(chinese ? QString("高压:") : QString("High Paulse:"));
    ui->label_6->setText(chinese ? QString("角度:") : QString("Angle:"));
    ui->label_7->setText(chinese ? QString("强度:") : QString("Intensity:"));
    ui->label_8->setText(chinese ? QString("距离:") : QString("Distance:"));
    ui->label_5->setText(chinese ? QString("温度:") : QString("Temperature:"));
}

// Only the three status words the device object sends in both languages are translated.
void InfoWidget::translateState(bool chinese)
{
    static const std::array<std::pair<QString, QString>, 3> words = {{
        {"Disconnect", "未连接"},
        {"Working", "正常运行中"},
        {"Malfunction", "故障"},
    }};
    for (const auto& [english, chineseWord] : words) {
        const QString& from = chinese ? english : chineseWord;
        if (ui->stateLabel->text() == from)
            ui->stateLabel->setText(chinese ? chineseWord : english);
    }
}
