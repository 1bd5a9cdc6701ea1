#include <kes_sdk/command_codes.h>
#include <kes_test/simulator.h>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace {

struct CliRun {
    int code = -1;
    QString out, err;
};

// kestra-cli with `args`, run as `program` (with the cli's path and `args` after it) if given.
CliRun runCli(const QStringList& args, int timeoutMs = 15000, const QString& program = {}, QStringList prefix = {})
{
    QProcess process;
    process.start(program.isEmpty() ? QStringLiteral(KESTRA_CLI) : program,
                  program.isEmpty() ? args : prefix + QStringList{KESTRA_CLI} + args);
    if (!process.waitForFinished(timeoutMs))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class CliTest : public ::testing::Test {
protected:
    void start(const std::function<void(kes_sim::SimOptions&)>& configure = {})
    {
        sim_ = kes_test::startSimulator(configure);
    }

    QStringList target() const { return {"--ip", "127.0.0.1", "--port", QString::number(sim_->port())}; }

    std::unique_ptr<kes_sim::LidarSimulator> sim_;
};

} // namespace

TEST_F(CliTest, InfoPrintsEveryKeyAsLinesOrAsOneJsonObject)
{
    start();
    const CliRun lines = runCli(QStringList{"info"} + target());
    ASSERT_EQ(lines.code, 0) << lines.err.toStdString();
    EXPECT_TRUE(lines.err.isEmpty()) << lines.err.toStdString();
    const QStringList rows = lines.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 10);
    EXPECT_EQ(rows.at(0), QStringLiteral("firmware: A1.0.7"));
    // What the lidar stores, and where it was reached.
    EXPECT_EQ(rows.at(3), QStringLiteral("ip: 192.168.1.100"));
    EXPECT_EQ(rows.at(4), QStringLiteral("target: 127.0.0.1"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^apd_temp_c: \\d+\\.\\d$")).match(rows.at(9)).hasMatch())
        << rows.at(9).toStdString();

    const CliRun json = runCli(QStringList{"info", "--json"} + target());
    ASSERT_EQ(json.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(info.keys(), QStringList({"apd_temp_c", "direction", "filter_level", "firmware", "frequency_hz",
                                        "hardware", "ip", "motor_rpm", "sdk", "target"}));
    EXPECT_NEAR(info["motor_rpm"].toDouble(), info["frequency_hz"].toDouble() * 60, 10);
    EXPECT_NEAR(info["apd_temp_c"].toDouble(), 40, 3);
    const double temperature = info["apd_temp_c"].toDouble();
    EXPECT_DOUBLE_EQ(std::round(temperature * 10) / 10, temperature);
}

TEST_F(CliTest, SetAppliesWhatIsGivenAndPrintsTheChanges)
{
    start([](kes_sim::SimOptions& o) { o.restart_ms = 0; });
    const CliRun run = runCli(QStringList{"set", "--frequency", "30", "--direction", "1", "--filter-level", "2",
                                          "--new-ip", "192.168.1.57"}
                              + target());
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("frequency_hz: ")) && run.out.contains(QStringLiteral("-> 30")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("ip: 192.168.1.100 -> 192.168.1.57"))) << run.out.toStdString();
    const kes_sim::DeviceSnapshot device = sim_->snapshot();
    EXPECT_EQ(device.scan_frequency_hz, 30u);
    EXPECT_EQ(device.scan_direction, 1u);
    EXPECT_EQ(device.filter_level, 2u);
    EXPECT_EQ(device.ip_address, "192.168.1.57");
    EXPECT_EQ(device.request_counts.count(kes_sdk::cmd::kDeviceReboot), 1u);
}

TEST_F(CliTest, ExitCodesSayWhatWentWrongInOneLine)
{
    start([](kes_sim::SimOptions& o) {
        o.refused = {kes_sdk::cmd::kSetScanFrequency, kes_sdk::cmd::kApplyConfigs};
    });
    const CliRun refused = runCli(QStringList{"set", "--frequency", "15"} + target());
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err.count('\n'), 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("refused to set the scan frequency to 15 Hz")));
    const CliRun unapplied = runCli(QStringList{"set", "--direction", "1"} + target());
    EXPECT_EQ(unapplied.code, 1);
    EXPECT_TRUE(unapplied.err.contains(QStringLiteral("refused to apply the configuration")));

    const CliRun usage = runCli({"set", "--frequency", "12", "--ip", "127.0.0.1"});
    EXPECT_EQ(usage.code, 64);
    EXPECT_TRUE(usage.err.contains(QStringLiteral("--frequency")));
    const std::pair<QStringList, int> failures[] = {
        {{"info", "--ip", "127.0.0.1", "--bogus"}, 64},
        {{"frobnicate"}, 64},
        {{"stats", "--out", "x.csv"}, 64},
        {{"export", "x.csv", "--frame", "0", "--out", "x.ply"}, 64},
        {{"export", "/nonexistent/x.csv", "--all", "--format", "pcd", "--out", "x.pcd"}, 66},
        {{"stats", "/nonexistent/x.csv"}, 66},
        {{"capture", "--seconds", "1", "--out", "/nonexistent/x.pcap"}, 73},
    };
    for (const auto& [args, code] : failures)
        EXPECT_EQ(runCli(args).code, code) << args.join(' ').toStdString();
    for (const char* command :
         {"info", "set", "discover", "watch", "record", "inspect", "capture", "health", "stats", "export"}) {
        const CliRun help = runCli({command, "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: kestra-cli ") + command)) << command;
    }

    sim_->stop();
    const QString port = QString::number(sim_->port());
    const CliRun silent = runCli({"info", "--ip", "127.0.0.1", "--port", port});
    EXPECT_EQ(silent.code, 2);
    EXPECT_EQ(silent.err.trimmed(), "kestra-cli: no answer from 127.0.0.1:" + port + " within 8 s");
}

TEST_F(CliTest, WatchFollowsTheStreamUntilItStops)
{
    start([](kes_sim::SimOptions& o) { o.silent_after_s = 4.0; });
    const CliRun run = runCli(QStringList{"watch", "--seconds", "30"} + target(), 20000);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.err.trimmed(),
              "kestra-cli: no scan data from 127.0.0.1:" + QString::number(sim_->port()) + " for 5 s");
    const QStringList rows = run.out.trimmed().split('\n');
    ASSERT_GE(rows.size(), 7);
    // Revolutions of 2268 points at the default 10 Hz (a second may cut one), then silence.
    const QRegularExpression tally(QStringLiteral("revolutions +(\\d+) +points +(\\d+)"));
    const QRegularExpressionMatch second = tally.match(rows.at(1));
    ASSERT_TRUE(second.hasMatch()) << rows.at(1).toStdString();
    EXPECT_GT(second.captured(1).toInt(), 0);
    EXPECT_NEAR(second.captured(2).toInt(), second.captured(1).toInt() * 2268, 2268);
    EXPECT_TRUE(rows.last().contains(QStringLiteral("revolutions  0  points     0")));
}

TEST_F(CliTest, RecordWritesTheLiveBlocksThatInspectReadsBack)
{
    start();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("live.csv"));
    const CliRun record = runCli(QStringList{"record", "--seconds", "2", "--out", file} + target());
    ASSERT_EQ(record.code, 0) << record.err.toStdString();
    const QRegularExpressionMatch counts =
        QRegularExpression(QStringLiteral("blocks: (\\d+)\nrows: (\\d+)")).match(record.out);
    ASSERT_TRUE(counts.hasMatch()) << record.out.toStdString();
    const int blocks = counts.captured(1).toInt();
    EXPECT_GE(blocks, 6);
    EXPECT_EQ(counts.captured(2).toInt(), blocks * 378);

    const CliRun inspect = runCli({"inspect", file, "--json", "--frame", "0"});
    ASSERT_EQ(inspect.code, 0) << inspect.err.toStdString();
    const QJsonObject info = QJsonDocument::fromJson(inspect.out.toUtf8()).object();
    EXPECT_EQ(info["blocks"].toInt(), blocks);
    EXPECT_EQ(info["frames"].toInt(), blocks / 6);
    EXPECT_EQ(info["points"].toInt(), blocks * 378);
    EXPECT_LE(info["first_time_stamp"].toInt(), info["last_time_stamp"].toInt());
    const QJsonArray frame = info["frame_blocks"].toArray();
    ASSERT_EQ(frame.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(frame[i].toObject()["block_id"].toInt(), i + 1) << "recordings start at block 1";
        EXPECT_EQ(frame[i].toObject()["ranges"].toArray().size(), 378);
        EXPECT_EQ(frame[i].toObject()["intensities"].toArray().size(), 378);
    }

    EXPECT_EQ(runCli({"inspect", file, "--frame", "100000"}).code, 64);
    const CliRun missing = runCli({"inspect", dir.filePath(QStringLiteral("none.csv"))});
    EXPECT_EQ(missing.code, 66);
    EXPECT_TRUE(missing.err.trimmed().endsWith(QStringLiteral("none.csv cannot be opened")));
}

// A disk that fills during the recording: a 64 KiB tmpfs in a private mount namespace.
TEST_F(CliTest, RecordSaysInWordsWhenTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString mount = QStringLiteral("mount -t tmpfs -o size=64k tmpfs '%1'").arg(dir.path());
    const QStringList isolated = {"-m", "--propagation", "private", "sh", "-c", mount + " && exec \"$0\" \"$@\""};
    if (QProcess::execute(QStringLiteral("unshare"), {"-m", "--propagation", "private", "sh", "-c", mount}) != 0)
        GTEST_SKIP() << "cannot mount a tmpfs in a mount namespace here (needs root)";
    start();
    const QString file = dir.filePath(QStringLiteral("full.csv"));
    const CliRun run =
        runCli(QStringList{"record", "--seconds", "3", "--out", file} + target(), 15000, "unshare", isolated);
    EXPECT_EQ(run.code, 73);
    EXPECT_EQ(run.err.trimmed(), "kestra-cli: no space left on device for " + file);
}

// Discovery joins multicast groups, so it runs only inside a private network namespace.
TEST(CliDiscoverTest, ListensForTheGivenTimeAndProposesNothingWhereNothingAnnounces)
{
    if (QProcess::execute(QStringLiteral("unshare"), {"-n", "true"}) != 0)
        GTEST_SKIP() << "cannot create a network namespace here (needs root or user namespaces)";
    const CliRun run = runCli({"discover", "--seconds", "1"}, 10000, "unshare",
                              {"-n", "sh", "-c",
                               "ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo "
                               "src 127.0.0.1 && exec \"$0\" \"$@\""});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
}
