#include "commands.h"
#include "device_session.h"
#include "every_second.h"
#include "exit_codes.h"

#include <kes_csv/csv_reader.h>
#include <kes_service/angle_stats.h>
#include <kes_service/stats_plot.h>

#include <QCoreApplication>
#include <QElapsedTimer>

namespace cli {
namespace {

// Live revolutions until `wanted` of them are in; an exit code.
int collectLive(const StatsOptions& options, kes_service::AngleStatistics& stats, QString& source)
{
    DeviceSession session(options.target);
    source = session.where();
    const int connected = session.connect();
    if (connected != kDone)
        return connected;
    QElapsedTimer lastBlock;
    lastBlock.start();
    QObject::connect(&session.logic(), &LidarLogic::sendBlock, &session.logic(),
                     [&](const kes_sdk::ScanBlockData& block) {
                         lastBlock.restart();
                         if (stats.revolutions() >= uint64_t(*options.revolutions))
                             return;
                         stats.add(block);
                         if (stats.revolutions() >= uint64_t(*options.revolutions))
                             QCoreApplication::exit(kDone);
                     });
    const int result = everySecond(0, [&](int) {
        if (lastBlock.elapsed() < 5000)
            return -1;
        printError("no scan data from " + session.where() + " for 5 s");
        return kNoAnswer;
    });
    if (result == kDone && stats.revolutions() < uint64_t(*options.revolutions)) {
        printError(QString("interrupted after %1 revolutions").arg(stats.revolutions()));
        return kNoAnswer;
    }
    return result;
}

int collectFile(const QString& path, kes_service::AngleStatistics& stats)
{
    const kes_csv::ReadStatus status = kes_csv::readBlocks(
        path, [&stats](std::vector<kes_sdk::ScanBlockData>&& blocks, const kes_csv::ReadProgress&) {
            for (const kes_sdk::ScanBlockData& block : blocks)
                stats.add(block);
        });
    switch (status) {
    case kes_csv::ReadStatus::Ok: break;
    case kes_csv::ReadStatus::CannotOpen: printError(path + " cannot be opened"); return kNoInput;
    case kes_csv::ReadStatus::TooManyPoints:
        printError(path + " is damaged: its rows never start a new block");
        return kNoInput;
    default: printError(path + " cannot be read"); return kNoInput;
    }
    if (stats.revolutions() == 0) {
        printError(path + " holds no whole revolution");
        return kNoInput;
    }
    return kDone;
}

} // namespace

int runStats(const StatsOptions& options)
{
    kes_service::AngleStatistics stats;
    QString source = options.file;
    const int collected =
        options.revolutions ? collectLive(options, stats, source) : collectFile(options.file, stats);
    if (collected != kDone)
        return collected;
    const std::vector<kes_service::AngleRow> rows = stats.rows();
    const QByteArray table = QByteArray::fromStdString(kes_service::AngleStatistics::csv(rows));
    if (options.out.isEmpty()) {
        out() << table;
    } else if (const QString failure = writeWholeFile(options.out, table); !failure.isEmpty()) {
        printError(failure);
        return kCannotCreate;
    }
    if (!options.plot.isEmpty()) {
        const QString title = QString("%1: %2 revolutions of %3 points")
                                  .arg(source)
                                  .arg(stats.revolutions())
                                  .arg(stats.pointsPerBlock() * kes_sdk::kBlocksPerScan);
        if (!kes_service::statsPlot(rows, title).save(options.plot, "PNG")) {
            printError("cannot write " + options.plot);
            return kCannotCreate;
        }
    }
    if (!options.out.isEmpty())
        out() << "revolutions: " << stats.revolutions() << '\n'
              << "points: " << stats.pointsPerBlock() * kes_sdk::kBlocksPerScan << '\n'
              << "other_blocks: " << stats.otherBlocks() << '\n';
    return kDone;
}

} // namespace cli
