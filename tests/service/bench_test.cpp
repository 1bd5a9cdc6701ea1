// The service bench as an operator runs it: kestra-cli and kestra-sim as processes against
// simulators over loopback, their files read back by small readers of their own.
#include <kes_csv/csv_parser.h>
#include <kes_csv/csv_writer.h>
#include <kes_sim/scene.h>
#include <kes_test/simulator.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <array>
#include <cmath>
#include <map>

namespace {

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

Ran run(const QStringList& args, const QString& program = KESTRA_CLI)
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

// Waits until `process` has printed a line matching `pattern`; the match, empty after `ms`.
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
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    kes_csv::CsvBlockParser parser;
    parser.parseLines(text.constData(), text.constData() + text.size());
    const std::vector<kes_sdk::ScanBlockData> read = parser.takeCompleted();
    std::map<std::pair<uint32_t, uint8_t>, kes_sdk::ScanLayer> blocks;
    for (size_t i = 6; i < read.size(); ++i)
        blocks[{read[i].time_stamp, read[i].block_id}] = read[i].layers.at(0);
    return blocks;
}

} // namespace

// A capture from one simulator, replayed, recorded: the blocks a twin simulator (same seed,
// same moment) gives directly. The replay also answers with the captured device's state.
TEST(ServiceBench, CaptureReplayedIsTheLidarForRecordAndTcpdumpReadsIt)
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
    QElapsedTimer clock;
    clock.start();
    while (!twin->snapshot().stream_on && clock.elapsed() < 10000)
        QThread::msleep(10);
    const Ran capture = run(QStringList{"capture", "--seconds", "3", "--out", pcap} + target(captured->port()));
    ASSERT_EQ(capture.code, 0) << capture.err.toStdString();
    ASSERT_TRUE(direct.waitForFinished(20000));
    ASSERT_EQ(direct.exitCode(), 0) << direct.readAllStandardError().toStdString();

    const Ran dump = run({"-n", "-r", pcap}, "tcpdump");
    ASSERT_EQ(dump.code, 0) << dump.err.toStdString();
    const QString device = "127.0.0.1." + QString::number(captured->port());
    EXPECT_GE(
        dump.out.count(QRegularExpression("> " + QRegularExpression::escape(device) + ": UDP, length 1[26]\n")),
        10); // requests
    EXPECT_GE(dump.out.count(QRegularExpression("IP " + QRegularExpression::escape(device) + " > .*length 1158\n")),
              150); // three seconds of scan datagrams at 10 Hz

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
    const Ran replayed =
        run(QStringList{"record", "--seconds", "2", "--out", dir.filePath("replayed.csv")} + target(port));
    ASSERT_EQ(replayed.code, 0) << replayed.err.toStdString();
    // Past the capture's three seconds, the loop plays it again.
    const Ran looped = run(QStringList{"watch", "--seconds", "5"} + target(port));
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
    const Ran health = run(QStringList{"health", "--seconds", "15", "--json"} + target(sim->port()));
    ASSERT_EQ(health.code, 0) << health.err.toStdString();
    int seconds = 0;
    int incomplete = 0;
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
    QThread::msleep(uint(std::max<qint64>(0, 8000 - outage.elapsed())));
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
    const Ran stats = run(
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
    const QImage plot(dir.filePath("s.png"));
    EXPECT_EQ(plot.size(), QSize(1200, 700));
}

namespace {

// The `count` points of a PLY or PCD file whose header declares them: x, y, z and intensity,
// as ASCII lines or as little-endian floats.
std::vector<std::array<float, 4>> readCloud(const QByteArray& file, bool binary, int count)
{
    const bool ply = file.startsWith("ply\n");
    const QByteArray n = QByteArray::number(count);
    const QByteArray end = ply ? "\nend_header\n" : binary ? "\nDATA binary\n" : "\nDATA ascii\n";
    const QByteArray header = file.left(file.indexOf(end) + end.size());
    EXPECT_TRUE(ply ? header.contains("\nformat " + QByteArray(binary ? "binary_little_endian" : "ascii") + " 1.0\n")
                          && header.contains("\nelement vertex " + n
                                             + "\nproperty float x\nproperty float y\nproperty float z\nproperty "
                                               "float intensity\n")
                    : header.contains("\nFIELDS x y z intensity\nSIZE 4 4 4 4\nTYPE F F F F\n")
                          && header.contains("\nPOINTS " + n + "\n"))
        << header.toStdString();
    const QByteArray body = file.mid(header.size());
    const QList<QByteArray> lines = body.trimmed().split('\n');
    EXPECT_EQ(binary ? body.size() : lines.size(), binary ? count * 16 : count);
    std::vector<std::array<float, 4>> points(static_cast<size_t>(count));
    for (int i = 0; i < count * 4 && (binary ? body.size() == count * 16 : lines.size() == count); ++i)
        points[size_t(i / 4)][size_t(i % 4)] = binary ? qFromLittleEndian<float>(body.constData() + 4 * i)
                                                      : lines[i / 4].split(' ').value(i % 4).toFloat();
    return points;
}

} // namespace

TEST(ServiceBench, ExportWritesFramesWhereTheViewDrawsThem)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath("two_frames.csv");
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const size_t n = 126;
    {
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
    file.close();
    for (const char* format : {"ply", "pcd"}) {
        for (bool binary : {false, true}) {
            const QString out = dir.filePath(QString("frame.") + format);
            QStringList args = {"export", csv, "--frame", "1", "--format", format, "--out", out};
            if (binary)
                args << "--binary";
            ASSERT_EQ(run(args).code, 0) << format;
            QFile written(out);
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            const auto points = readCloud(written.readAll(), binary, int(6 * (n - 13)));
            // Point j of block b of frame 1 at device angle (n b + j) 270 / (6n - 1), 0 down, 90 right.
            size_t i = 0;
            for (unsigned b = 1; b <= 6; ++b) {
                for (size_t j = 0; j < n; ++j) {
                    if (j % 10 == 0)
                        continue;
                    const double d = (500 + 7 * j + 100 * (b + 5)) * 0.002;
                    const double theta = ((n * b + j) * 270.0 / (6 * n - 1) - 90) * M_PI / 180;
                    const auto& p = points[i++];
                    ASSERT_NEAR(p[0], d * std::cos(theta), 0.0021)
                        << format << binary << " block " << b << " point " << j;
                    ASSERT_NEAR(p[1], d * std::sin(theta), 0.0021);
                    ASSERT_EQ(p[2], 0.0f);
                    ASSERT_EQ(p[3], float(uint8_t(j + b + 5)));
                }
            }
        }
    }
    ASSERT_EQ(run({"export", csv, "--all", "--format", "ply", "--out", dir.filePath("all.ply")}).code, 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("all_0000.ply")) && QFile::exists(dir.filePath("all_0001.ply")));
    EXPECT_FALSE(QFile::exists(dir.filePath("all_0002.ply")));
}
