// Not a test: the longest the GUI thread goes without serving its event loop while the player
// loads a 95 MB recording (3.5 million rows), and the memory the loaded file takes; with
// "record SECONDS", a recording of the simulator at 30 Hz that long.
// Run under a display: xvfb-run -a build/bin/player_figures [record 600]
#include "live_record_run.h"

#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_prompts/prompts.h>
#include <kes_resources/view_resources.h>
#include <kes_test/fake_mdns_server.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kBlocks = 11666;
constexpr int kPoints = 300;

bool writeRecording(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    kes_csv::CsvWriter writer(file);
    writer.writeHeader();
    kes_sdk::ScanBlockData block;
    block.layers.resize(1);
    for (int j = 0; j < kPoints; ++j) {
        block.layers[0].ranges.push_back(uint16_t(800 + j * 7));
        block.layers[0].intensities.push_back(uint8_t(j));
    }
    for (int b = 0; b < kBlocks; ++b) {
        block.block_id = uint8_t(b % 6 + 1);
        block.time_stamp = uint32_t(b);
        writer.writeBlock(block, 20.0f);
    }
    return writer.flush();
}

long residentKiB()
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long value = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            value = std::atol(line + 6);
    if (f)
        std::fclose(f);
    return value;
}

QSet<QString> threadIds()
{
    const QStringList ids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(ids.begin(), ids.end());
}

// User plus system time of one thread of this process, or -1 once it has ended.
double threadCpuSeconds(const QString& tid)
{
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // the fields after the command name, which ends with the last ')': utime and stime are 14 and 15
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int recordFigures(int seconds)
{
    prompts().completion = [](QWidget*, const QString&) { return 1; };
    kes_test::FakeMdnsServer mdns;
    LidarLogic logic(&mdns);
    PlayerToolBar bar;
    bar.setLogic(&logic);
    // The record thread is the one thread the start click adds.
    QSet<QString> before, started;
    double cpu = -1;
    LiveRecordHooks hooks;
    hooks.starting = [&] { before = threadIds(); };
    hooks.started = [&](const QString&) { started = threadIds() - before; };
    hooks.stopping = [&] { cpu = started.size() == 1 ? threadCpuSeconds(*started.begin()) : -1; };
    const LiveRecordRun run = recordLive(bar, logic, seconds, hooks);
    std::printf("recorded %d s at 30 Hz: %zu blocks emitted, file at most %zu blocks behind, file %s\n", seconds,
                run.emitted, run.worst_lag, run.same_blocks ? "holds every block in order" : "DIFFERS");
    std::printf("record thread CPU: %.2f s, %.2f %% of one core\n", cpu, 100.0 * cpu / seconds);
    return run.connected && run.same_blocks ? 0 : 1;
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initViewResources();
    if (argc == 3 && std::strcmp(argv[1], "record") == 0)
        return recordFigures(std::atoi(argv[2]));
    QTemporaryDir dir;
    const QString path = dir.filePath("recording.csv");
    if (!writeRecording(path))
        return 1;
    kes_test::FakeMdnsServer mdns;
    LidarLogic logic(&mdns);
    PlayerToolBar bar;
    bar.setLogic(&logic);
    bar.show();
    prompts().openFile = [&](const FileQuery&) { return path; };
    app.processEvents();
    const long before = residentKiB();

    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
    });
    bool loaded = false;
    QObject::connect(&bar, &PlayerToolBar::openFile, [&] { loaded = true; });
    clock.start();
    heartbeat.start();
    bar.findChild<QToolButton*>("openButton")->click();
    while (!loaded)
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 total = clock.elapsed();
    std::printf("file %.1f MB loaded in %lld ms; longest GUI gap %lld ms (heartbeat 5 ms); "
                "resident +%.1f MB for %.1f MB of points\n",
                double(QFile(path).size()) / 1e6, static_cast<long long>(total), static_cast<long long>(worst),
                double(residentKiB() - before) / 1024.0, 3.0 * kBlocks * kPoints / 1e6);
    return 0;
}
