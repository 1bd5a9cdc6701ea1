#include "commands.h"
#include "exit_codes.h"
#include "output.h"

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace cli {
namespace {

QString reason(kes_csv::ReadStatus status)
{
    switch (status) {
    case kes_csv::ReadStatus::CannotOpen: return "cannot be opened";
    case kes_csv::ReadStatus::TooManyPoints: return "is damaged: its rows never start a new block";
    default: return "cannot be read";
    }
}

QJsonObject summary(const std::vector<kes_sdk::ScanBlockData>& blocks, double seconds)
{
    qint64 points = 0;
    for (const auto& block : blocks)
        points += block.layers.empty() ? 0 : qint64(block.layers[0].ranges.size());
    QJsonObject info;
    info["blocks"] = qint64(blocks.size());
    info["frames"] = qint64(kes_csv::frameCount(blocks.size()));
    info["points"] = points;
    info["first_time_stamp"] = blocks.empty() ? QJsonValue() : QJsonValue(qint64(blocks.front().time_stamp));
    info["last_time_stamp"] = blocks.empty() ? QJsonValue() : QJsonValue(qint64(blocks.back().time_stamp));
    info["load_seconds"] = seconds;
    return info;
}

template <class T>
QJsonArray numbers(const std::vector<T>& values)
{
    QJsonArray out;
    for (T v : values)
        out.append(qint64(v));
    return out;
}

QJsonArray frameBlocks(const std::vector<kes_sdk::ScanBlockData>& blocks, size_t frame)
{
    QJsonArray out;
    for (size_t i = kes_csv::firstBlockOfFrame(frame); i < kes_csv::firstBlockOfFrame(frame + 1); ++i) {
        const kes_sdk::ScanBlockData& block = blocks[i];
        QJsonObject b;
        b["block_id"] = block.block_id;
        b["time_stamp"] = qint64(block.time_stamp);
        b["ranges"] = block.layers.empty() ? QJsonArray() : numbers(block.layers[0].ranges);
        b["intensities"] = block.layers.empty() ? QJsonArray() : numbers(block.layers[0].intensities);
        out.append(b);
    }
    return out;
}

void print(const QJsonObject& info, bool json)
{
    QTextStream& o = out();
    if (json) {
        o << QJsonDocument(info).toJson(QJsonDocument::Compact) << '\n';
        return;
    }
    for (const char* key : {"blocks", "frames", "points", "first_time_stamp", "last_time_stamp", "load_seconds"}) {
        const QJsonValue value = info[key];
        const QString text = value.isNull()                         ? QStringLiteral("none")
                             : QLatin1String(key) == "load_seconds" ? QString::number(value.toDouble(), 'f', 3)
                                                                    : value.toVariant().toString();
        o << key << ": " << text << '\n';
    }
    if (!info.contains("frame_blocks"))
        return;
    o << "frame_blocks:\n";
    for (const QJsonValue block : info["frame_blocks"].toArray())
        o << QJsonDocument(block.toObject()).toJson(QJsonDocument::Compact) << '\n';
}

} // namespace

int runInspect(const InspectOptions& options)
{
    QElapsedTimer clock;
    clock.start();
    const kes_csv::LoadResult loaded = kes_csv::loadBlocks(options.file);
    const double seconds = double(clock.nsecsElapsed()) * 1e-9;
    if (loaded.status != kes_csv::ReadStatus::Ok) {
        printError(options.file + " " + reason(loaded.status));
        return kNoInput;
    }
    QJsonObject info = summary(loaded.blocks, seconds);
    if (options.frame) {
        const size_t frames = kes_csv::frameCount(loaded.blocks.size());
        if (size_t(*options.frame) >= frames) {
            printError("--frame " + QString::number(*options.frame) + " is past the end: the file has "
                       + QString::number(frames) + " frames");
            return kUsage;
        }
        info["frame_blocks"] = frameBlocks(loaded.blocks, size_t(*options.frame));
    }
    print(info, options.json);
    return kDone;
}

} // namespace cli
