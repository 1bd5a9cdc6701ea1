#include "measure_files.h"

#include <QFile>
#include <QTextStream>

#include <algorithm>

namespace {

const char* const kTrueValueHeader =
    "时间,SN码,角度,真值(m),平均值(m),绝对误差(m),相对误差(m),最大值(m),最小值(m),强度,结果";

void writeRecords(QTextStream& out, const std::vector<MeasureRecord>& records)
{
    for (const MeasureRecord& r : records)
        out << r.angle << "," << r.disVal << "," << r.distance << "\n";
}

void sortByAngle(std::vector<MeasureRecord>& records)
{
    std::sort(records.begin(), records.end(),
              [](const MeasureRecord& a, const MeasureRecord& b) { return a.angle < b.angle; });
}

void writeTrueLine(QTextStream& out, const QString& time, const QString& sn, const TrueTarget& target,
                   const TrueResult& r)
{
    out << time << "," << sn << "," << target.angle << "," << target.true_value << "," << r.average << ","
        << r.absolute_error << "," << r.relative_error << "," << r.maximum << "," << r.minimum << "," << r.intensity
        << "," << (r.ok ? "OK" : "NG") << "\n";
}

} // namespace

QString measureDataFilePath(const QString& directory, const QString& sn, const QDateTime& at)
{
    return directory + "/" + sn + "_" + at.toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss")) + ".csv";
}

void writeMeasureData(const QString& path, const QString& sn, std::vector<MeasureRecord> total,
                      std::vector<MeasureRecord> ng)
{
    sortByAngle(total);
    sortByAngle(ng);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QTextStream out(&file);
    out << "SN"
        << "," << sn << "\n";
    out << "angle,disVal,distance\n";
    out << "***************NG_data***************\n";
    writeRecords(out, ng);
    out << "******************************\n";
    out << "******************************\n";
    out << "**************total_data***************\n";
    writeRecords(out, total);
    out << "*****************************\n";
}

QString trueValueFilePath(const QString& directory, const QDate& day)
{
    return directory + "/" + day.toString(QStringLiteral("yyyy_MM_dd")) + ".csv";
}

// The whole file is GB2312, as its header declares, so a Chinese SN reads back in one codec.
bool appendTrueValueLines(const QString& path, const QString& sn, const std::vector<TrueTarget>& targets,
                          const std::vector<TrueResult>& results, const QTime& at)
{
    QFile file(path);
    const bool fresh = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QTextStream out(&file);
    out.setCodec("gb2312");
    if (fresh)
        out << QString::fromUtf8(kTrueValueHeader) << "\n";
    const QString time = at.toString(QStringLiteral("hh:mm:ss"));
    const size_t lines = std::min(targets.size(), results.size());
    for (size_t i = 0; i < lines; ++i)
        writeTrueLine(out, time, sn, targets[i], results[i]);
    return true;
}
