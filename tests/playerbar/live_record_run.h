#pragma once

#include <csv_reader.h>
#include <lidar_logic.h>
#include <player_toolbar.h>

#include <kes_sim/lidar_simulator.h>

#include <QFile>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <utility>
#include <vector>

// What a recording of the simulator's live stream at 30 Hz gave.
struct LiveRecordRun {
    bool connected = false;
    size_t emitted = 0;   // blocks LidarLogic emitted while the recording ran
    size_t worst_lag = 0; // most blocks the file was behind at a once-a-second look
    bool same_blocks = false; // the file holds exactly those, in order
};

inline std::vector<std::pair<uint32_t, int>> blockKeys(const std::vector<kes_sdk::ScanBlockData>& blocks)
{
    std::vector<std::pair<uint32_t, int>> keys;
    for (const auto& block : blocks)
        keys.emplace_back(block.time_stamp, block.block_id);
    return keys;
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
    record->click();
    const QString file = bar.recordPath();
    for (int second = 0; second < seconds; ++second) {
        QTest::qWait(1000);
        const size_t in_file = kes_csv::loadBlocks(file).blocks.size();
        run.worst_lag = std::max(run.worst_lag, emitted.size() > in_file ? emitted.size() - in_file : 0);
    }
    record->click();
    run.emitted = emitted.size();
    emitted.resize(run.emitted);
    const bool caught_up = QTest::qWaitFor([&] { return kes_csv::loadBlocks(file).blocks.size() >= run.emitted; }, 5000);
    run.same_blocks = caught_up && blockKeys(kes_csv::loadBlocks(file).blocks) == blockKeys(emitted);
    logic.disconnectLidar();
    QFile::remove(file);
    return run;
}
