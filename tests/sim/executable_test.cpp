#include "loopback_host.h"

#include <QProcess>

using namespace kes_sim_test;

// kestra-sim with `args`, its stderr joined to its stdout.
struct SimProcess : QProcess {
    explicit SimProcess(const QStringList& args)
    {
        setProcessChannelMode(QProcess::MergedChannels);
        start(QStringLiteral(KESTRA_SIM_EXE), args);
    }
    ~SimProcess() override
    {
        kill();
        waitForFinished();
    }
    // Reads until `text` shows up, the output ends or 3 s pass; all read so far.
    QString readUntil(const QString& text)
    {
        while (!out.contains(text) && waitForReadyRead(kes_test::scaled(3000)))
            out += QString::fromUtf8(readAll());
        return out += QString::fromUtf8(readAll());
    }
    QString out;
};

TEST(SimulatorExecutable, ServesOnTheAnnouncedPortAndStopsOnSigterm)
{
    SimProcess sim({"--port", "0", "--verbose", "--refuse", "0x0105"});
    const QString prefix = "kestra-sim listening on 127.0.0.1:";
    const QString line = sim.readUntil("\n");
    ASSERT_TRUE(line.startsWith(prefix)) << line.toStdString();
    LoopbackHost host(uint16_t(line.mid(prefix.size()).trimmed().toUInt()));
    EXPECT_EQ(statusOf(host.request(cmd::kSetScanFrequency, payloadU32(20))), 1u);
    EXPECT_TRUE(sim.readUntil("0x0105 payload 00000014 -> status 1\n").contains("status 1"));
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(kes_test::scaled(3000)));
    EXPECT_EQ(std::make_pair(sim.exitStatus(), sim.exitCode()), std::make_pair(QProcess::NormalExit, 0));
}

TEST(SimulatorExecutable, BadOptionsAndATakenPortExitWithTheirCodeAndReason)
{
    asio::io_context io;
    asio::ip::udp::socket taken(io, asio::ip::udp::endpoint(asio::ip::address_v4::loopback(), 0));
    const QString port = QString::number(taken.local_endpoint().port());
    const std::tuple<QStringList, int, QString> cases[] = {{{"--loss", "7"}, 64, "--loss"},
                                                           {{"--hardware", "H0123456789abcdef"}, 64, "--hardware"},
                                                           {{"--refuse", "0x1zz"}, 64, "--refuse"},
                                                           {{"--frobnicate"}, 64, "--frobnicate"},
                                                           {{"--port"}, 64, "--port"},
                                                           {{"--port", port}, 69, "cannot bind 127.0.0.1:" + port}};
    for (const auto& [args, code, reason] : cases) {
        SimProcess sim(args);
        ASSERT_TRUE(sim.waitForFinished(kes_test::scaled(3000))) << args.join(' ').toStdString();
        EXPECT_EQ(sim.exitCode(), code) << args.join(' ').toStdString();
        EXPECT_TRUE(sim.readUntil(reason).contains(reason)) << args.join(' ').toStdString();
    }
}
