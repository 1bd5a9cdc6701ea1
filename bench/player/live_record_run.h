#pragma once

#include <kes_csv/csv_parser.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_sim/lidar_simulator.h>

#include <QFile>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

// What a recording of the simulator's live stream at 30 Hz gave.
struct LiveRecordRun {
    bool connected = false;
    size_t emitted = 0;       // blocks LidarLogic emitted while the recording ran
    size_t worst_lag = 0;     // most blocks the file was behind at a once-a-second look
    bool same_blocks = false; // the file holds exactly those, in order
};

// Called around the record button's clicks.
struct LiveRecordHooks {
    std::function<void()> starting;
    std::function<void(const QString& file)> started;
    std::function<void()> stopping;
};

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

// Connects `logic` to a simulator on a free loopback port, sets 30 Hz, records for `seconds`
// with the tool bar's record button, and compares the file with what was emitted.
inline LiveRecordRun recordLive(PlayerToolBar& bar, LidarLogic& logic, int seconds,
                                const LiveRecordHooks& hooks = {})
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
    std::vector<BlockKey> emitted;
    QObject sink;
    QObject::connect(&logic, &LidarLogic::sendBlock, &sink,
                     [&](kes_sdk::ScanBlockData block) { emitted.emplace_back(block.time_stamp, block.block_id); });
    auto* record = bar.findChild<QToolButton*>(QStringLiteral("recordButton"));
    if (hooks.starting)
        hooks.starting();
    record->click();
    const QString file = bar.recordPath();
    if (hooks.started)
        hooks.started(file);
    RecordingTail tail(file);
    for (int second = 0; second < seconds; ++second) {
        QTest::qWait(1000);
        const size_t in_file = tail.look();
        run.worst_lag = std::max(run.worst_lag, emitted.size() > in_file ? emitted.size() - in_file : 0);
    }
    if (hooks.stopping)
        hooks.stopping();
    record->click();
    run.emitted = emitted.size();
    const bool caught_up = QTest::qWaitFor([&] { return tail.look() >= run.emitted; }, 5000);
    emitted.resize(run.emitted); // blocks that came after the stop are no part of the file
    run.same_blocks = caught_up && tail.keys() == emitted;
    logic.disconnectLidar();
    QFile::remove(file);
    return run;
}
