#include "player_toolbar.h"

#include "csv_file_names.h"
#include "csv_format.h"
#include "csv_writer.h"
#include "lidar_logic.h"
#include "player_prompts.h"
#include "toolbar_prompts.h"

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
    if (exportFrame()) {
        const QString path = QFileInfo(intercept_file_).absoluteFilePath();
        if (playerPrompts().completion(this, QStringLiteral("截取完成，文件保存为:") + path) == 0)
            playerPrompts().openFolder(QFileInfo(path).absolutePath());
    } else {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "),
                           QStringLiteral("截取失败，无法打开文件:") + intercept_file_.fileName()});
    }
    intercepting_ = false;
}

bool PlayerToolBar::exportFrame()
{
    std::lock_guard<std::mutex> lock(mutex_);
    intercept_file_.setFileName(kes_csv::interceptFilePath(file_path_, frame_index_ + 1));
    if (!intercept_file_.open(QIODevice::ReadWrite | QIODevice::Append))
        return false;
    {
        kes_csv::CsvWriter writer(intercept_file_);
        writer.writeHeader();
        const std::size_t first = kes_csv::firstBlockOfFrame(frame_index_);
        if (first + kes_csv::kBlocksPerFrame <= blocks_.size()) {
            for (std::size_t i = first; i < first + kes_csv::kBlocksPerFrame; ++i)
                writer.writeBlock(blocks_[i], logic_ ? float(logic_->motor_frequency_) : 0.0f);
        }
    }
    intercept_file_.close();
    return true;
}
