// kestra-cli as an operator runs it: a process against simulators over loopback, its files read
// back by the product's CSV parser or by small readers of the test's own.
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>
#include <kes_sdk/command_codes.h>
#include <kes_sim/scene.h>
#include <kes_test/qt_support.h>
#include <kes_test/simulator.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <map>
#include <memory>

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

CliRun run(const QStringList& args, const QString& program = KESTRA_CLI)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList target(uint16_t port)
{
    return {"--ip", "127.0.0.1", "--port", QString::number(port)};
}

QRegularExpressionMatch waitForLine(QProcess& process, QString& seen, const QString& pattern, int ms)
{
    const QRegularExpression line(pattern);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const QRegularExpressionMatch m = line.match(seen);
        if (m.hasMatch() || clock.elapsed() > ms)
            return m;
        process.waitForReadyRead(200);
        seen += QString::fromUtf8(process.readAllStandardOutput());
    }
}

// A recording's ranges and intensities by (time stamp, block id), less its first revolution:
// the first full scan carries the stamp of whatever datagram came first.
std::map<std::pair<uint32_t, uint8_t>, kes_sdk::ScanLayer> blocksOf(const QString& path)
{
    const kes_csv::LoadResult loaded = kes_csv::loadBlocks(path);
    EXPECT_EQ(loaded.status, kes_csv::ReadStatus::Ok) << path.toStdString();
    std::map<std::pair<uint32_t, uint8_t>, kes_sdk::ScanLayer> blocks;
    for (size_t i = 6; i < loaded.blocks.size(); ++i)
        blocks[{loaded.blocks[i].time_stamp, loaded.blocks[i].block_id}] = loaded.blocks[i].layers.at(0);
    return blocks;
}

} // namespace

TEST(CliTest, InfoPrintsEveryKeyAsLinesOrAsOneJsonObjectAndSetPrintsTheChanges)
{
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) { o.restart_ms = 0; });
    const CliRun lines = run(QStringList{"info"} + target(sim->port()));
    ASSERT_EQ(lines.code, 0) << lines.err.toStdString();
    EXPECT_TRUE(lines.err.isEmpty()) << lines.err.toStdString();
    const QStringList rows = lines.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 10);
    // What the lidar stores, and where it was reached.
    EXPECT_EQ(QStringList({rows.at(0), rows.at(3), rows.at(4)}),
              QStringList({"firmware: A1.0.7", "ip: 192.168.1.100", "target: 127.0.0.1"}));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^apd_temp_c: \\d+\\.\\d$")).match(rows.at(9)).hasMatch())
        << rows.at(9).toStdString();

    const CliRun json = run(QStringList{"info", "--json"} + target(sim->port()));
    ASSERT_EQ(json.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(info.keys(), QStringList({"apd_temp_c", "direction", "filter_level", "firmware", "frequency_hz",
                                        "hardware", "ip", "motor_rpm", "sdk", "target"}));
    EXPECT_NEAR(info["motor_rpm"].toDouble(), info["frequency_hz"].toDouble() * 60, 10);
    const double temperature = info["apd_temp_c"].toDouble();
    EXPECT_TRUE(std::abs(temperature - 40) <= 3 && std::round(temperature * 10) / 10 == temperature) << temperature;

    const CliRun ran = run(QStringList{"set", "--frequency", "30", "--direction", "1", "--filter-level", "2",
                                       "--new-ip", "192.168.1.57"}
                           + target(sim->port()));
    ASSERT_EQ(ran.code, 0) << ran.err.toStdString();
    EXPECT_TRUE(ran.out.contains(QStringLiteral("frequency_hz: ")) && ran.out.contains(QStringLiteral("-> 30")));
    EXPECT_TRUE(ran.out.contains(QStringLiteral("ip: 192.168.1.100 -> 192.168.1.57"))) << ran.out.toStdString();
    kes_sim::DeviceSnapshot d = sim->snapshot();
    EXPECT_EQ(std::make_tuple(d.scan_frequency_hz, d.scan_direction, d.filter_level, d.ip_address,
                              d.request_counts[kes_sdk::cmd::kDeviceReboot]),
              std::make_tuple(30u, 1u, 2u, std::string("192.168.1.57"), 1u));
}

TEST(CliTest, ExitCodesSayWhatWentWrongInOneLine)
{
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) {
        o.refused = {kes_sdk::cmd::kSetScanFrequency, kes_sdk::cmd::kApplyConfigs};
    });
    const QStringList at = target(sim->port());
    const std::tuple<QStringList, int, QString> failures[] = {
        {QStringList{"set", "--frequency", "15"} + at, 1, "refused to set the scan frequency to 15 Hz"},
        {QStringList{"set", "--direction", "1"} + at, 1, "refused to apply the configuration"},
        {{"set", "--frequency", "12", "--ip", "127.0.0.1"}, 64, "needs 10, 15, 20, 25 or 30, not \"12\""},
        {{"info", "--ip", "127.0.0.1", "--bogus"}, 64, "Unknown option 'bogus'."},
        {{"frobnicate"}, 64, "unknown command \"frobnicate\"; see kestra-cli --help"},
        {{"stats", "--out", "x.csv"}, 64, "give either --revolutions N for a live lidar or a recorded CSV file"},
        {{"export", "x.csv", "--frame", "0", "--out", "x.ply"}, 64, "--format needs ply or pcd, not \"\""},
        {{"export", "/nonexistent/x.csv", "--all", "--format", "pcd", "--out", "x.pcd"}, 66, "cannot be opened"},
        {{"stats", "/nonexistent/x.csv"}, 66, "x.csv cannot be opened"},
        {{"inspect", "/nonexistent/x.csv"}, 66, "x.csv cannot be opened"},
        {{"capture", "--seconds", "1", "--out", "/nonexistent/x.pcap"}, 73, "No such file or directory"},
    };
    for (const auto& [args, code, says] : failures) {
        const CliRun ran = run(args);
        EXPECT_EQ(ran.code, code) << args.join(' ').toStdString();
        EXPECT_TRUE(ran.err.startsWith("kestra-cli: ") && ran.err.endsWith(says + '\n') && ran.err.count('\n') == 1)
            << ran.err.toStdString();
    }
    for (const char* command :
         {"info", "set", "discover", "watch", "record", "inspect", "capture", "health", "stats", "export"}) {
        const CliRun help = run({command, "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: kestra-cli ") + command)) << command;
    }
}

TEST(CliTest, WatchFollowsTheStreamUntilItStopsAndInfoThenGetsNoAnswer)
{
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) { o.silent_after_s = 4.0; });
    const QString port = QString::number(sim->port());
    const CliRun ran = run(QStringList{"watch", "--seconds", "30"} + target(sim->port()));
    EXPECT_EQ(ran.code, 2);
    EXPECT_EQ(ran.err.trimmed(), "kestra-cli: no scan data from 127.0.0.1:" + port + " for 5 s");
    const QStringList rows = ran.out.trimmed().split('\n');
    ASSERT_GE(rows.size(), 7);
    // Revolutions of 2268 points at the default 10 Hz (a second may cut one), then silence.
    const QRegularExpression tally(QStringLiteral("revolutions +(\\d+) +points +(\\d+)"));
    const QRegularExpressionMatch second = tally.match(rows.at(1));
    ASSERT_TRUE(second.hasMatch()) << rows.at(1).toStdString();
    EXPECT_GT(second.captured(1).toInt(), 0);
    EXPECT_NEAR(second.captured(2).toInt(), second.captured(1).toInt() * 2268, 2268);
    EXPECT_TRUE(rows.last().contains(QStringLiteral("revolutions  0  points     0")));
    const CliRun silent = run(QStringList{"info"} + target(sim->port()));
    EXPECT_EQ(silent.code, 2);
    EXPECT_EQ(silent.err.trimmed(), "kestra-cli: no answer from 127.0.0.1:" + port + " within 8 s");
}

// A disk that fills during the recording: a 64 KiB tmpfs in a private mount namespace.
TEST(CliTest, RecordSaysInWordsWhenTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString mount = QStringLiteral("mount -t tmpfs -o size=64k tmpfs '%1'").arg(dir.path());
    const QStringList isolated = {"-m", "--propagation", "private", "sh", "-c", mount + " && exec \"$0\" \"$@\""};
    if (QProcess::execute(QStringLiteral("unshare"), {"-m", "--propagation", "private", "sh", "-c", mount}) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs in a mount namespace here (needs root)";
    const auto sim = kes_test::startSimulator();
    const QString file = dir.filePath(QStringLiteral("full.csv"));
    const CliRun ran =
        run(isolated + QStringList{KESTRA_CLI, "record", "--seconds", "3", "--out", file} + target(sim->port()),
            "unshare");
    EXPECT_EQ(ran.code, 73);
    EXPECT_EQ(ran.err.trimmed(), "kestra-cli: no space left on device for " + file);
}

// Discovery joins multicast groups, so it runs only inside a private network namespace.
TEST(CliDiscoverTest, ListensForTheGivenTimeAndProposesNothingWhereNothingAnnounces)
{
    if (QProcess::execute(QStringLiteral("unshare"), {"-n", "true"}) != 0)
        GTEST_SKIP() << "cannot create a network namespace here (needs root or user namespaces)";
    const CliRun ran = run({"-n", "sh", "-c",
                            "ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo "
                            "src 127.0.0.1 && exec \"$0\" \"$@\"",
                            KESTRA_CLI, "discover", "--seconds", "1"},
                           "unshare");
    EXPECT_EQ(ran.code, 0) << ran.err.toStdString();
    EXPECT_TRUE(ran.out.isEmpty());
}

// A capture from one simulator, replayed, recorded: the blocks a twin simulator (same seed,
// same moment) gives directly. The replay also answers with the captured device's state.
TEST(ServiceBench, CaptureReplayedIsTheLidarForRecordAndInspectAndTcpdumpReadsIt)
{
    QTemporaryDir dir;
    const auto configure = [](kes_sim::SimOptions& o) {
        o.firmware = "F9.9.9";
        o.filter_level = 3; // the host filters with it: a replay that forgot it differs
    };
    const auto captured = kes_test::startSimulator(configure);
    const auto twin = kes_test::startSimulator(configure);
    const QString pcap = dir.filePath("link.pcap");
    // The direct record streams before the capture connects and outlasts it, so the revolutions
    // the replay plays back lie inside it however slowly the capture gets going.
    QProcess direct;
    direct.start(KESTRA_CLI, QStringList{"record", "--seconds", "7", "--out", dir.filePath("direct.csv")}
                                 + target(twin->port()));
    EXPECT_TRUE(kes_test::waitFor([&] { return twin->snapshot().stream_on; }, 10000));
    const CliRun capture = run(QStringList{"capture", "--seconds", "3", "--out", pcap} + target(captured->port()));
    ASSERT_EQ(capture.code, 0) << capture.err.toStdString();
    ASSERT_TRUE(direct.waitForFinished(20000));
    ASSERT_EQ(direct.exitCode(), 0) << direct.readAllStandardError().toStdString();

    const CliRun dump = run({"-n", "-r", pcap}, "tcpdump");
    ASSERT_EQ(dump.code, 0) << dump.err.toStdString();
    const QString device = QRegularExpression::escape("127.0.0.1." + QString::number(captured->port()));
    // Requests, and three seconds of scan datagrams at 10 Hz.
    EXPECT_GE(dump.out.count(QRegularExpression("> " + device + ": UDP, length 1[26]\n")), 10);
    EXPECT_GE(dump.out.count(QRegularExpression("IP " + device + " > .*length 1158\n")), 150);

    QProcess replay;
    replay.start(KESTRA_SIM, {"--replay", pcap, "--port", "0", "--loop"});
    QString said;
    const QRegularExpressionMatch listening = waitForLine(replay, said, "listening on 127.0.0.1:(\\d+)", 5000);
    ASSERT_TRUE(listening.hasMatch()) << said.toStdString();
    const uint16_t port = listening.captured(1).toUShort();
    const QJsonObject info =
        QJsonDocument::fromJson(run(QStringList{"info", "--json"} + target(port)).out.toUtf8()).object();
    EXPECT_EQ(info["firmware"].toString(), "F9.9.9");
    EXPECT_EQ(info["ip"].toString(), "127.0.0.1"); // where it was captured: the connect reads no address
    EXPECT_EQ(info["filter_level"].toInt(), 3);
    const CliRun replayed =
        run(QStringList{"record", "--seconds", "2", "--out", dir.filePath("replayed.csv")} + target(port));
    ASSERT_EQ(replayed.code, 0) << replayed.err.toStdString();
    const QRegularExpressionMatch counts =
        QRegularExpression(QStringLiteral("blocks: (\\d+)\nrows: (\\d+)")).match(replayed.out);
    ASSERT_TRUE(counts.hasMatch()) << replayed.out.toStdString();
    const int blocks = counts.captured(1).toInt();
    EXPECT_EQ(counts.captured(2).toInt(), blocks * 378);
    const CliRun inspect = run({"inspect", dir.filePath("replayed.csv"), "--json", "--frame", "0"});
    ASSERT_EQ(inspect.code, 0) << inspect.err.toStdString();
    const QJsonObject read = QJsonDocument::fromJson(inspect.out.toUtf8()).object();
    EXPECT_EQ(QList<int>({read["blocks"].toInt(), read["frames"].toInt(), read["points"].toInt()}),
              QList<int>({blocks, blocks / 6, blocks * 378}));
    EXPECT_LE(read["first_time_stamp"].toInt(), read["last_time_stamp"].toInt());
    const QJsonArray frame = read["frame_blocks"].toArray();
    ASSERT_EQ(frame.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frame[i].toObject()["block_id"].toInt(), i + 1) << "recordings start at block 1";
        EXPECT_EQ(frame[i].toObject()["ranges"].toArray().size(), 378);
        EXPECT_EQ(frame[i].toObject()["intensities"].toArray().size(), 378);
    }
    EXPECT_EQ(run({"inspect", dir.filePath("replayed.csv"), "--frame", "100000"}).code, 64);
    // Past the capture's three seconds, the loop plays it again.
    const CliRun looped = run(QStringList{"watch", "--seconds", "5"} + target(port));
    EXPECT_TRUE(looped.out.contains(QRegularExpression("   5 s  revolutions +[1-9]"))) << looped.out.toStdString();
    replay.kill();
    replay.waitForFinished();

    const auto expected = blocksOf(dir.filePath("direct.csv"));
    const auto got = blocksOf(dir.filePath("replayed.csv"));
    ASSERT_GE(got.size(), 60u);
    size_t matched = 0;
    for (const auto& [key, layer] : got) {
        const auto twinBlock = expected.find(key);
        if (twinBlock == expected.end())
            continue;
        ++matched;
        EXPECT_TRUE(layer.ranges == twinBlock->second.ranges && layer.intensities == twinBlock->second.intensities)
            << "block " << int(key.second) << " of revolution " << key.first;
    }
    EXPECT_GE(matched, got.size() * 8 / 10);
}

// One datagram in ten lost: a revolution of six datagrams arrives whole with 0.9^6.
TEST(ServiceBench, HealthCountsIncompleteRevolutionsUnderLoss)
{
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) {
        o.loss = 0.1;
        o.seed = 1; // its first draws let the connect's handshake and stream-on answers through
    });
    const CliRun health = run(QStringList{"health", "--seconds", "15", "--json"} + target(sim->port()));
    ASSERT_EQ(health.code, 0) << health.err.toStdString();
    int seconds = 0, incomplete = 0;
    for (const QString& line : health.out.trimmed().split('\n')) {
        const QJsonObject s = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_TRUE(s.contains("latency_median_ms") && s.contains("since_last_scan_s") && s.contains("rejected"));
        EXPECT_NEAR(s["datagrams_per_s"].toInt(), 60 * 0.9, 15);
        // The first seconds may stall on lost answers while the filter's settings load.
        if (s["second"].toInt() < 3 || s["dropped"].toInt() > 0)
            continue;
        EXPECT_EQ(s["frequency_hz"].toInt(), 10);
        EXPECT_LT(s["since_last_scan_s"].toDouble(), 1.0);
        ++seconds;
        incomplete += s["incomplete"].toInt();
    }
    ASSERT_GE(seconds, 6);
    EXPECT_NEAR(double(incomplete) / (seconds * 10), 1 - std::pow(0.9, 6), 0.12);
}

TEST(ServiceBench, WatchReconnectsAfterAnOutageAndTellsItsLength)
{
    auto sim = kes_test::startSimulator();
    kes_sim::SimOptions options;
    options.port = sim->port();
    QProcess watch;
    watch.start(KESTRA_CLI, QStringList{"watch", "--reconnect", "--seconds", "60"} + target(options.port));
    QString seen;
    ASSERT_TRUE(waitForLine(watch, seen, "   2 s  revolutions", 15000).hasMatch()) << seen.toStdString();
    sim->stop();
    QElapsedTimer outage;
    outage.start();
    EXPECT_TRUE(waitForLine(watch, seen, "link lost", 10000).hasMatch()) << seen.toStdString();
    QTest::qWait(int(std::max<qint64>(0, 8000 - outage.elapsed())));
    sim = std::make_unique<kes_sim::LidarSimulator>(options);
    ASSERT_TRUE(sim->start().ok());
    const QRegularExpressionMatch back = waitForLine(watch, seen, "link back: outage ([0-9.]+) s", 15000);
    ASSERT_TRUE(back.hasMatch()) << seen.toStdString();
    EXPECT_GE(back.captured(1).toDouble(), 7.5);
    EXPECT_LE(back.captured(1).toDouble(), 12.0); // a probe every 2 s, then the connect
    EXPECT_TRUE(waitForLine(watch, seen, "link back[^\n]*\n.*revolutions +[1-9]", 3000).hasMatch());
    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitCode(), 0);
}

// Walls at known distances under a known noise: the figures at angles the moving post never
// crossed during the run.
TEST(ServiceBench, StatsFindTheWallsAndTheNoise)
{
    constexpr double kNoiseMm = 5.0;
    QElapsedTimer running;
    running.start();
    const auto sim = kes_test::startSimulator([](kes_sim::SimOptions& o) {
        o.noise_mm = kNoiseMm;
        o.frequency_hz = 30;
    });
    QTemporaryDir dir;
    const CliRun stats = run(
        QStringList{"stats", "--revolutions", "200", "--out", dir.filePath("s.csv"), "--plot", dir.filePath("s.png")}
        + target(sim->port()));
    ASSERT_EQ(stats.code, 0) << stats.err.toStdString();
    EXPECT_TRUE(stats.out.startsWith("revolutions: 200\npoints: 756\n")) << stats.out.toStdString();
    const double lastSceneTime = running.elapsed() / 1000.0 + 1.0;

    QFile table(dir.filePath("s.csv"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    EXPECT_EQ(table.readLine(), "angle_deg,samples,valid_share,mean_m,std_mm,min_m,max_m,mean_intensity\n");
    const kes_sim::Scene scene(kes_sim::SimOptions().seed);
    int checked = 0;
    for (size_t i = 0; !table.atEnd(); ++i) {
        const QStringList f = QString::fromLatin1(table.readLine()).trimmed().split(',');
        ASSERT_EQ(f.size(), 8);
        const double a = kes_sim::Scene::deviceAngleDeg(i, 126);
        bool crossed = false;
        for (double t = 0; t < lastSceneTime && !crossed; t += 0.05)
            crossed = std::abs(std::remainder(a - scene.postAngleDeg(t), 360.0)) < 12.0;
        if (i % 8 || crossed || f[2].toDouble() < 0.95)
            continue;
        // The room's walls along the device's axes; device angle 135 faces the front wall.
        const double c = std::cos((a - 135) * M_PI / 180), s = std::sin((a - 135) * M_PI / 180);
        const double wall =
            std::min({c > 0 ? 5.0 / c : 1e9, c < 0 ? 2.0 / -c : 1e9, s > 0 ? 3.0 / s : 1e9, s < 0 ? 4.0 / -s : 1e9});
        EXPECT_NEAR(f[3].toDouble(), wall, 0.002) << "at device angle " << f[0].toStdString();
        EXPECT_NEAR(f[4].toDouble(), kNoiseMm, 0.2 * kNoiseMm) << "at device angle " << f[0].toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 10);
    EXPECT_EQ(QImage(dir.filePath("s.png")).size(), QSize(1200, 700));
}

TEST(ServiceBench, ExportWritesFramesWhereTheViewDrawsThem)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath("two_frames.csv");
    const size_t n = 126;
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        kes_csv::CsvWriter writer(file);
        writer.writeHeader();
        for (uint8_t b = 0; b < 12; ++b) {
            kes_sdk::ScanBlockData block;
            block.block_id = uint8_t(b % 6 + 1);
            block.layers.resize(1);
            for (size_t j = 0; j < n; ++j) {
                block.layers[0].ranges.push_back(j % 10 == 0 ? 0 : uint16_t(500 + 7 * j + 100 * b));
                block.layers[0].intensities.push_back(uint8_t(j + b));
            }
            writer.writeBlock(block, 30.0f);
        }
    }
    const std::pair<const char*, bool> kinds[] = {{"ply", false}, {"ply", true}, {"pcd", false}, {"pcd", true}};
    for (const auto& [format, binary] : kinds) {
        const QString out = dir.filePath(QString("frame.") + format);
        QStringList args = {"export", csv, "--frame", "1", "--format", format, "--out", out};
        if (binary)
            args << "--binary";
        ASSERT_EQ(run(args).code, 0) << format;
        QFile written(out);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        const QByteArray cloud = written.readAll();
        const bool ply = cloud.startsWith("ply\n");
        const int count = int(6 * (n - 13));
        const QByteArray end = ply ? "\nend_header\n" : binary ? "\nDATA binary\n" : "\nDATA ascii\n";
        const QByteArray header = cloud.left(cloud.indexOf(end) + end.size());
        EXPECT_TRUE(
            ply ? header.contains("\nformat " + QByteArray(binary ? "binary_little_endian" : "ascii") + " 1.0\n")
                      && header.contains("\nelement vertex " + QByteArray::number(count)
                                         + "\nproperty float x\nproperty float y\nproperty float "
                                           "z\nproperty float intensity\n")
                : header.contains("\nFIELDS x y z intensity\nSIZE 4 4 4 4\nTYPE F F F F\n")
                      && header.contains("\nPOINTS " + QByteArray::number(count) + "\n"))
            << header.toStdString();
        const QByteArray body = cloud.mid(header.size());
        const QList<QByteArray> lines = body.trimmed().split('\n');
        ASSERT_EQ(binary ? body.size() : lines.size(), binary ? count * 16 : count);
        const auto value = [&](int point, int k) {
            return binary ? qFromLittleEndian<float>(body.constData() + 16 * point + 4 * k)
                          : lines[point].split(' ').value(k).toFloat();
        };
        // Point j of block b of frame 1 at device angle (n b + j) 270 / (6n - 1), 0 down, 90 right.
        int i = 0;
        for (unsigned b = 1; b <= 6; ++b) {
            for (size_t j = 0; j < n; ++j) {
                if (j % 10 == 0)
                    continue;
                const double d = (500 + 7 * j + 100 * (b + 5)) * 0.002;
                const double theta = ((n * b + j) * 270.0 / (6 * n - 1) - 90) * M_PI / 180;
                ASSERT_NEAR(value(i, 0), d * std::cos(theta), 0.0021)
                    << format << binary << " block " << b << " point " << j;
                ASSERT_NEAR(value(i, 1), d * std::sin(theta), 0.0021);
                ASSERT_EQ(value(i, 2), 0.0f);
                ASSERT_EQ(value(i, 3), float(uint8_t(j + b + 5)));
                ++i;
            }
        }
    }
    ASSERT_EQ(run({"export", csv, "--all", "--format", "ply", "--out", dir.filePath("all.ply")}).code, 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("all_0000.ply")) && QFile::exists(dir.filePath("all_0001.ply")));
    EXPECT_FALSE(QFile::exists(dir.filePath("all_0002.ply")));
}
