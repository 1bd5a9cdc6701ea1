#include "commands.h"
#include "exit_codes.h"
#include "output.h"

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>
#include <kes_service/point_cloud.h>

#include <QFileInfo>

#include <algorithm>

namespace cli {
namespace {

// OUT with _K before its extension, K zero-padded to `width`.
QString numberedPath(const QString& out, size_t frame, int width)
{
    const QString number = QString("_%1").arg(frame, width, 10, QLatin1Char('0'));
    const QFileInfo info(out);
    const QString suffix = info.suffix();
    if (suffix.isEmpty())
        return out + number;
    return out.left(out.size() - suffix.size() - 1) + number + '.' + suffix;
}

} // namespace

int runExport(const ExportOptions& options)
{
    const kes_csv::LoadResult loaded = kes_csv::loadBlocks(options.file);
    if (loaded.status != kes_csv::ReadStatus::Ok) {
        printError(options.file
                   + (loaded.status == kes_csv::ReadStatus::CannotOpen ? " cannot be opened" : " cannot be read"));
        return kNoInput;
    }
    const size_t frames = kes_csv::frameCount(loaded.blocks.size());
    if (options.frame && size_t(*options.frame) >= frames) {
        printError("--frame " + QString::number(*options.frame) + " is past the end: the file has "
                   + QString::number(frames) + " frames");
        return kUsage;
    }
    const size_t first = options.frame ? size_t(*options.frame) : 0;
    const size_t end = options.frame ? first + 1 : frames;
    const int width = std::max(4, int(QString::number(frames == 0 ? 0 : frames - 1).size()));
    const kes_service::CloudFormat format =
        options.pcd ? kes_service::CloudFormat::Pcd : kes_service::CloudFormat::Ply;
    for (size_t k = first; k < end; ++k) {
        const std::vector<kes_service::CloudPoint> points =
            kes_service::framePoints(&loaded.blocks[kes_csv::firstBlockOfFrame(k)], kes_csv::kBlocksPerFrame);
        const std::string comment =
            "frame " + std::to_string(k) + " of " + QFileInfo(options.file).fileName().toStdString();
        const QString path = options.frame ? options.out : numberedPath(options.out, k, width);
        const QString failure = writeWholeFile(
            path, QByteArray::fromStdString(kes_service::cloudFile(points, format, options.binary, comment)));
        if (!failure.isEmpty()) {
            printError(failure);
            return kCannotCreate;
        }
        out() << path << ": " << points.size() << " points\n";
    }
    if (frames == 0)
        printError(options.file + " holds no whole frame; nothing written");
    return frames == 0 ? kNoInput : kDone;
}

} // namespace cli
