#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_format.h>

#include <QDebug>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

bool PlayerToolBar::navigationAllowed() const
{
    if (connected())
        return false;
    if (!fileLoaded() || loading_) {
        qDebug() << "file no exit or opening";
        return false;
    }
    return true;
}

void PlayerToolBar::startFrameButtonClicked()
{
    if (!navigationAllowed())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        frame_index_ = 0;
    }
    ui->horizontalSlider->setValue(0);
}

void PlayerToolBar::preFrameButtonClicked()
{
    if (!navigationAllowed())
        return;
    int target = -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (frame_index_ > 0)
            target = int(--frame_index_);
    }
    if (target >= 0)
        ui->horizontalSlider->setValue(target);
}

void PlayerToolBar::nextFrameButtonClicked()
{
    if (!navigationAllowed())
        return;
    int target = -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t frames = kes_csv::frameCount(blocks_.size());
        if (frames > 0 && frame_index_ < frames - 1)
            target = int(++frame_index_);
    }
    if (target >= 0)
        ui->horizontalSlider->setValue(target);
}

void PlayerToolBar::endFrameButtonClicked()
{
    if (!navigationAllowed())
        return;
    int target = -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::size_t frames = kes_csv::frameCount(blocks_.size());
        if (frames > 0) {
            frame_index_ = uint32_t(frames - 1);
            target = int(frame_index_);
        }
    }
    if (target >= 0)
        ui->horizontalSlider->setValue(target);
}

void PlayerToolBar::valueChangedSlot(int value)
{
    if (connected() || loading_)
        return;
    ui->lineEdit->setText(QString::number(value + 1));
    if (!paused_ || slider_from_play_ || value < 0)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    frame_index_ = uint32_t(value);
    if (!blocks_.empty())
        showFrameLocked(std::size_t(value));
}

void PlayerToolBar::textChangedSlot(QString text)
{
    if (connected() || loading_)
        return;
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    if (!ok || number < 1)
        return;
    ui->horizontalSlider->setValue(number - 1);
}

// The field takes frame numbers only; numbers above the count are clamped by the slider.
// Without frames it takes nothing: "[1-0]" would be an invalid expression.
void PlayerToolBar::setFrameValidator(std::size_t frames)
{
    const QString digits = QString::number(frames);
    QString pattern = QStringLiteral("[1-9]\\d{0,%1}").arg(digits.size() - 1);
    if (frames == 0)
        pattern = QStringLiteral("(?!)");
    else if (digits.size() < 2)
        pattern = QStringLiteral("[1-%1]").arg(digits);
    delete ui->lineEdit->validator();
    ui->lineEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), ui->lineEdit));
}
