// Not a test: the longest the GUI thread goes without serving its event loop while the player
// loads a 95 MB recording (3.5 million rows), and the memory the loaded file takes; with
// "record SECONDS", a recording of the simulator at 30 Hz that long.
// Run under a display: xvfb-run -a build/bin/player_figures [record 600]
#include "live_record_run.h"

#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_prompts.h>
#include <kes_player/player_toolbar.h>
#include <kes_prompts/prompts.h>
#include <kes_resources/view_resources.h>
#include <qmdnsengine/abstractserver.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstring>

namespace {

class SilentMdnsServer : public QMdnsEngine::AbstractServer {
public:
    void sendMessage(const QMdnsEngine::Message&) override {}
    void sendMessageToAll(const QMdnsEngine::Message&) override {}
};

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

} // namespace

int recordFigures(int seconds)
{
    playerPrompts().completion = [](QWidget*, const QString&) { return 1; };
    SilentMdnsServer mdns;
    LidarLogic logic(&mdns);
    PlayerToolBar bar;
    bar.setLogic(&logic);
    const LiveRecordRun run = recordLive(bar, logic, seconds);
    std::printf("recorded %d s at 30 Hz: %zu blocks emitted, file at most %zu blocks behind, file %s\n", seconds,
                run.emitted, run.worst_lag, run.same_blocks ? "holds every block in order" : "DIFFERS");
    std::printf("record thread CPU: %.2f s, %.2f %% of one core\n", run.record_cpu_seconds,
                100.0 * run.record_cpu_seconds / seconds);
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
    SilentMdnsServer mdns;
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
