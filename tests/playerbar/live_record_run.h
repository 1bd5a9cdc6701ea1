#pragma once

#include <kes_csv/csv_parser.h>
#include <kes_csv/csv_reader.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_sim/lidar_simulator.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

// What a recording of the simulator's live stream at 30 Hz gave.
struct LiveRecordRun {
    bool connected = false;
    size_t emitted = 0;             // blocks LidarLogic emitted while the recording ran
    size_t worst_lag = 0;           // most blocks the file was behind at a once-a-second look
    bool same_blocks = false;       // the file holds exactly those, in order
    double record_cpu_seconds = -1; // CPU the record thread used while recording; -1 when not found
};

using BlockKey = std::pair<uint32_t, int>;

inline std::vector<BlockKey> blockKeys(const std::vector<kes_sdk::ScanBlockData>& blocks)
{
    std::vector<BlockKey> keys;
    for (const auto& block : blocks)
        keys.emplace_back(block.time_stamp, block.block_id);
    return keys;
}

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
        for (const BlockKey& key : blockKeys(parser_.takeCompleted()))
            keys_.push_back(key);
        return keys_.size();
    }

    const std::vector<BlockKey>& keys() const { return keys_; }

private:
    QFile file_;
    qint64 offset_ = 0;
    kes_csv::CsvBlockParser parser_;
    std::vector<BlockKey> keys_;
};

inline QSet<QString> threadIds()
{
    const QStringList ids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(ids.begin(), ids.end());
}

// User plus system time of one thread of this process, or -1 once it has ended.
inline double threadCpuSeconds(const QString& tid)
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

// Connects `logic` to a simulator on a free loopback port, sets 30 Hz, records for `seconds`
// with the tool bar's record button, and compares the file with what was emitted.
inline LiveRecordRun recordLive(PlayerToolBar& bar, LidarLogic& logic, int seconds)
{
    LiveRecordRun run;
    kes_sim::SimOptions options;
    options.port = 0;
    kes_sim::LidarSimulator sim(options);
    if (!sim.start().ok())
        return run;
    logic.ip_addr_ = QStringLiteral("127.0.0.1");
    logic.lidar_port_ = sim.port();
    run.connected = logic.connectLidar();
    logic.scan_frequency_ = 30;
    run.connected = run.connected && logic.applyScanFrequency()
                    && QTest::qWaitFor([&] { return sim.snapshot().active_frequency_hz == 30; }, 3000);
    if (!run.connected)
        return run;
    bar.receive_status(1);
    std::vector<kes_sdk::ScanBlockData> emitted;
    QObject sink;
    QObject::connect(&logic, &LidarLogic::sendBlock, &sink,
                     [&](kes_sdk::ScanBlockData block) { emitted.push_back(block); });
    auto* record = bar.findChild<QToolButton*>(QStringLiteral("recordButton"));
    const QSet<QString> before = threadIds();
    record->click();
    const QSet<QString> started = threadIds() - before;
    const QString file = bar.recordPath();
    RecordingTail tail(file);
    for (int second = 0; second < seconds; ++second) {
        QTest::qWait(1000);
        const size_t in_file = tail.look();
        run.worst_lag = std::max(run.worst_lag, emitted.size() > in_file ? emitted.size() - in_file : 0);
    }
    if (started.size() == 1)
        run.record_cpu_seconds = threadCpuSeconds(*started.begin());
    record->click();
    run.emitted = emitted.size();
    const bool caught_up = QTest::qWaitFor([&] { return tail.look() >= run.emitted; }, 5000);
    std::vector<BlockKey> expected = blockKeys(emitted);
    expected.resize(run.emitted); // blocks that came after the stop are no part of the file
    run.same_blocks = caught_up && tail.keys() == expected;
    logic.disconnectLidar();
    QFile::remove(file);
    return run;
}
