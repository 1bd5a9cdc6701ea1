// Not a test: the longest the GUI thread goes without serving its event loop while the player
// loads a 95 MB recording (3.5 million rows), and the memory the loaded file takes; with
// "record SECONDS", a recording of the simulator at 30 Hz that long.
// Run under a display: xvfb-run -a build-bench/bin/player_figures [record 600]
#include <kes_csv/csv_parser.h>
#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_prompts/prompts.h>
#include <kes_resources/view_resources.h>
#include <kes_sim/lidar_simulator.h>
#include <kes_test/fake_mdns_server.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

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

using BlockKey = std::pair<uint32_t, int>;

// Follows a growing recording: each look parses only the complete lines added since the last,
// so a long recording costs the GUI thread no more than a short one.
class RecordingTail {
public:
    explicit RecordingTail(const QString& path) : file_(path) {}

    size_t look()
    {
        if (!file_.isOpen() && !file_.open(QIODevice::ReadOnly))
            return keys_.size();
        file_.seek(offset_);
        const QByteArray bytes = file_.readAll();
        const char* rest = parser_.parseLines(bytes.constData(), bytes.constData() + bytes.size());
        offset_ += rest - bytes.constData();
        for (const auto& block : parser_.takeCompleted())
            keys_.emplace_back(block.time_stamp, block.block_id);
        return keys_.size();
    }

    const std::vector<BlockKey>& keys() const { return keys_; }

private:
    QFile file_;
    qint64 offset_ = 0;
    kes_csv::CsvBlockParser parser_;
    std::vector<BlockKey> keys_;
};

} // namespace

int recordFigures(int seconds)
{
    prompts().completion = [](QWidget*, const QString&) { return 1; };
    kes_test::FakeMdnsServer mdns;
    LidarLogic logic(&mdns);
    PlayerToolBar bar;
    bar.setLogic(&logic);
    kes_sim::SimOptions options;
    options.port = 0;
    kes_sim::LidarSimulator sim(options);
    if (!sim.start().ok())
        return 1;
    logic.ip_addr_ = QStringLiteral("127.0.0.1");
    logic.lidar_port_ = sim.port();
    if (!logic.connectLidar())
        return 1;
    logic.scan_frequency_ = 30;
    if (!logic.applyScanFrequency()
        || !QTest::qWaitFor([&] { return sim.snapshot().active_frequency_hz == 30; }, 3000))
        return 1;
    bar.receive_status(1);
    std::vector<BlockKey> emitted;
    QObject sink;
    QObject::connect(&logic, &LidarLogic::sendBlock, &sink,
                     [&](kes_sdk::ScanBlockData block) { emitted.emplace_back(block.time_stamp, block.block_id); });
    auto* record = bar.findChild<QToolButton*>(QStringLiteral("recordButton"));
    // The record thread is the one thread the start click adds.
    const QSet<QString> before = threadIds();
    record->click();
    const QString file = bar.recordPath();
    const QSet<QString> started = threadIds() - before;
    RecordingTail tail(file);
    size_t worst_lag = 0; // most blocks the file was behind at a once-a-second look
    for (int second = 0; second < seconds; ++second) {
        QTest::qWait(1000);
        const size_t in_file = tail.look();
        worst_lag = std::max(worst_lag, emitted.size() > in_file ? emitted.size() - in_file : 0);
    }
    const double cpu = started.size() == 1 ? threadCpuSeconds(*started.begin()) : -1;
    record->click();
    const size_t emitted_count = emitted.size();
    const bool caught_up = QTest::qWaitFor([&] { return tail.look() >= emitted_count; }, 5000);
    emitted.resize(emitted_count); // blocks that came after the stop are no part of the file
    const bool same_blocks = caught_up && tail.keys() == emitted;
    logic.disconnectLidar();
    QFile::remove(file);
    std::printf("recorded %d s at 30 Hz: %zu blocks emitted, file at most %zu blocks behind, file %s\n", seconds,
                emitted_count, worst_lag, same_blocks ? "holds every block in order" : "DIFFERS");
    std::printf("record thread CPU: %.2f s, %.2f %% of one core\n", cpu, 100.0 * cpu / seconds);
    return same_blocks ? 0 : 1;
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
