#include "kes_view/lidargl_widget.h"

#include "measure_files.h"

#include <kes_csv/csv_file_names.h>
#include <kes_measure/accuracy_info.h>
#include <kes_prompts/prompts.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QStringList>

#include <algorithm>

namespace {

QString stamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
}

// The prefix names this source file from the view's folder on (Interface/src/...), whatever
// the build's path to it.
void logPathError(int line, const char* function, const QString& directory)
{
    const QStringList parts = QString::fromUtf8(__FILE__).split(QLatin1Char('/'));
    const QString source = parts.mid(std::max(0, int(parts.size()) - 3)).join(QLatin1Char('/'));
    qDebug().noquote()
        << QStringLiteral("[%1:%2:%3 %4]").arg(source).arg(line).arg(QLatin1String(function)).arg(stamp())
        << "data path create error:" << directory;
}

} // namespace

void LidarGLWidget::startMeasure(int max, int min, int round)
{
    range_.start(max, min, round);
}

// The SN goes into the names of the measure data files and screenshots.
void LidarGLWidget::setSnCode(QString sn)
{
    sn_code_ = kes_csv::fileNamePart(sn);
}

// Without targets nothing would be judged, and the empty verdict would read OK.
void LidarGLWidget::receieveTrueInfo()
{
    if (accuracy_info_->true_values_.empty()) {
        prompts().message({QMessageBox::Warning, this, QStringLiteral(" "),
                           QStringLiteral("真值表为空：请先在“测试数据”中填写角度和真值并点击OK，再开始测距")});
        emit sig_true_status_changed(false);
        return;
    }
    true_value_.start(accuracy_info_->true_values_);
}

void LidarGLWidget::point(float angle, float distance, float intensity, float x, float y)
{
    if (range_.measuring_ && range_.collect(angle, distance, x, y))
        range_finished_ = true;
    if (true_value_.true_measuring_)
        true_value_.addPoint(angle, distance, intensity);
}

void LidarGLWidget::endFrame()
{
    if (true_value_.true_measuring_)
        trueValueEndOfFrame();
    publishFrame();
    range_.clearFrame();
    rangeEndOfFrame();
}

// While an NG frame is held the drawn arrays keep it, so a repaint or a screen grab shows it.
void LidarGLWidget::publishFrame()
{
    switch (range_.publication()) {
    case RangeMeasure::Publish::Live:
        frame_.publish(draw_vertices_, draw_colors_);
        repaint();
        break;
    case RangeMeasure::Publish::Measured:
        draw_vertices_ = range_.measure_vertices_;
        draw_colors_ = range_.measure_colors_;
        repaint();
        break;
    case RangeMeasure::Publish::Nothing: break;
    }
}

void LidarGLWidget::rangeEndOfFrame()
{
    const RangeMeasure::FrameEnd end = range_.endFrame();
    if (end.round > 0)
        emit sig_update_cur_round(end.round);
    if (end.held)
        emit sig_update_res(false);
    if (end.screenshot)
        emit sig_update_screenshot(sn_code_ + "_");
    if (end.save)
        saveMeasureDataThread();
}

void LidarGLWidget::trueValueEndOfFrame()
{
    emit sig_true_cur_round(true_value_.countRound());
    if (true_value_.finishRound()) {
        const std::pair<float, float> limits = accuracy_info_->getThresholds();
        true_value_.evaluate(limits.first, limits.second);
        createSNTrueDataFile();
        emit sig_true_status_changed(true_value_.true_all_ok_);
        true_value_.clearRounds();
    }
    true_value_.clearPoints();
}

bool LidarGLWidget::createSaveFile()
{
    const QString directory = QCoreApplication::applicationDirPath() + "/MeasureData";
    if (!QDir().mkpath(directory)) {
        logPathError(__LINE__, "createSaveFile", directory);
        return false;
    }
    file_name_ = measureDataFilePath(directory, sn_code_, QDateTime::currentDateTime());
    return true;
}

// The job owns what it writes: the GUI may set a new SN, file or hold meanwhile.
void LidarGLWidget::saveMeasureDataThread()
{
    if (!createSaveFile())
        return;
    save_jobs_.start([mutex = save_mutex_, path = file_name_, sn = sn_code_, total = std::move(range_.total_save_),
                      ng = std::move(range_.ng_save_)](WorkerPool::Job&) mutable {
        std::lock_guard<std::mutex> lock(*mutex);
        writeMeasureData(path, sn, std::move(total), std::move(ng));
        qDebug().noquote() << "[" + stamp() + "]"
                           << "file_name_" << path;
    });
}

void LidarGLWidget::createSNTrueDataFile()
{
    const QString directory = QCoreApplication::applicationDirPath() + "/SN_TrueValue_Data";
    if (!QDir().mkpath(directory)) {
        logPathError(__LINE__, "createSNTrueDataFile", directory);
        return;
    }
    true_file_name_ = trueValueFilePath(directory, QDate::currentDate());
    blankEmptyRows(true_value_.true_targets_, true_value_.true_results_);
    appendTrueValueLines(true_file_name_, sn_code_, true_value_.true_targets_, true_value_.true_results_,
                         QTime::currentTime());
    QList<float> intensities;
    for (const TrueResult& result : true_value_.true_results_)
        intensities.append(float(result.intensity));
    accuracy_info_->showIntensities(intensities);
    true_value_.true_results_.clear();
}
