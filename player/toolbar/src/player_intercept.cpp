#include "kes_player/player_toolbar.h"

#include "ui_playertoolbar.h"

#include <kes_csv/csv_append.h>
#include <kes_csv/csv_file_names.h>
#include <kes_csv/csv_format.h>
#include <kes_logic/lidar_logic.h>
#include <kes_prompts/prompts.h>

#include <QDebug>
#include <QFileInfo>

void PlayerToolBar::saveButtonClicked()
{
    if (connected())
        return;
    if (!fileLoaded() || loading_) {
        qDebug() << "file no exit or opening";
        return;
    }
    intercepting_ = true;
    const QString failure = exportFrame();
    if (failure.isEmpty()) {
        const QString path = QFileInfo(intercept_file_).absoluteFilePath();
        if (prompts().completion(this, QStringLiteral("截取完成，文件保存为:") + path) == 0)
            prompts().openFolder(QFileInfo(path).absolutePath());
    } else {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "), failure + intercept_file_.fileName()});
    }
    intercepting_ = false;
}

// The frame on screen is the slider's: during playback the play thread moves the slider only
// once the view has the frame's blocks. Returns the warning's text when the frame did not
// reach the file, else nothing.
QString PlayerToolBar::exportFrame()
{
    const std::size_t frame = std::size_t(ui->horizontalSlider->value());
    const float frequency = logic_ ? float(logic_->motor_frequency_) : 0.0f;
    QByteArray text;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        text = kes_csv::csvText([&](kes_csv::CsvWriter& writer) {
            writer.writeHeader();
            const std::size_t first = kes_csv::firstBlockOfFrame(frame);
            if (first + kes_csv::kBlocksPerFrame > blocks_.size())
                return; // an incomplete frame: the header only
            for (std::size_t i = first; i < first + kes_csv::kBlocksPerFrame; ++i)
                writer.writeBlock(blocks_[i], frequency);
        });
    }
    intercept_file_.setFileName(kes_csv::interceptFilePath(file_path_, uint32_t(frame) + 1));
    if (!intercept_file_.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return QStringLiteral("截取失败，无法打开文件:");
    const bool written = kes_csv::appendLines(intercept_file_, text);
    intercept_file_.close();
    return written ? QString() : QStringLiteral("截取失败，无法写入文件:");
}
