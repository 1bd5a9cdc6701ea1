#include "flood_packet.h"

#include <kes_test/fake_mdns_server.h>
#include <kes_test/qt_support.h>
#include <kes_test/simulator.h>

#include <kes_logic/lidar_logic.h>
#include <kes_logic/service_model.h>
#include <kes_sdk/command_codes.h>
#include <kes_sdk/command_result.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/service.h>
#include <qmdnsengine/wireformat.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

using namespace QMdnsEngine;
using namespace kes_sdk::cmd;
using namespace kes_test::mdns;

namespace {

const QByteArray kType = "_udp._udp.local.";

// What a responder sends for one service instance on `host`.
Message announcement(const QByteArray& name, const QByteArray& host, quint16 port, quint32 ttl = 120)
{
    const QByteArray instance = name + '.' + kType;
    return response(
        {pointer(kType, instance, ttl), service(instance, host, port, ttl), text(instance, "model", "kestra")});
}

bool askedFor(const kes_test::FakeMdnsServer& server, const QByteArray& host)
{
    return std::any_of(server.sent.begin(), server.sent.end(),
                       [&](const Message& m) { return m.queries().contains(Query(host, A)); });
}

// A simulator on a free loopback port and a LidarLogic aimed at it, never at its default.
class LidarTest : public ::testing::Test {
protected:
    void startSimulator(const std::function<void(kes_sim::SimOptions&)>& configure = {})
    {
        sim_ = kes_test::startSimulator(configure);
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        logic_->ip_addr_ = QStringLiteral("127.0.0.1");
        logic_->lidar_port_ = sim_->port();
        states_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::sendState);
        status_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::send_status);
    }
    // Every state text seen so far, queued ones included.
    QStringList states()
    {
        QCoreApplication::processEvents();
        return states_->texts();
    }
    uint32_t requests(uint16_t code) const { return sim_->snapshot().request_counts[code]; }
    QTimer* discovery() const { return logic_->findChild<QTimer*>(QStringLiteral("mdns_timer_")); }

    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<kes_test::SignalLog> states_;
    std::unique_ptr<kes_test::SignalLog> status_;
};

} // namespace

// The timer is stopped so the test decides when discovery ticks. A service model on the same
// answers lists every service; the logic resolves only the last one on port 2007.
TEST(DiscoveryTest, OnlyTheLastServiceOnPort2007IsResolvedToA192168AddressAndAFloodAsksLittle)
{
    kes_test::FakeMdnsServer server;
    LidarLogic logic(&server);
    ServiceModel model(&server, kType);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy ips(&logic, &LidarLogic::sendIP);
    auto* timer = logic.findChild<QTimer*>(QStringLiteral("mdns_timer_"));
    ASSERT_TRUE(timer && timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    timer->stop();
    const auto tick = [timer] {
        QMetaObject::invokeMethod(timer, "timeout");
        QCoreApplication::processEvents();
    };

    EXPECT_EQ(logic.ip_addr_.get(), QStringLiteral("192.168.1.100"));
    server.inject(announcement("lidar-1", "host-1.local.", 2007));
    server.inject(announcement("lidar-2", "Host-2.LOCAL.", 2007));
    server.inject(announcement("other", "host-8.local.", 2008));
    // From a port other than mDNS's, and last: taken, it would be the one resolved.
    Message foreign = announcement("lidar-9", "host-9.local.", 2007);
    foreign.setPort(5354);
    server.inject(foreign);
    tick();
    for (const char* other : {"host-1.local.", "host-8.local.", "host-9.local."})
        EXPECT_FALSE(askedFor(server, other)) << other;
    ASSERT_TRUE(askedFor(server, "Host-2.LOCAL."));
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QStringLiteral("lidar-1 (_udp._udp.local.)"));
    const auto second = model.data(model.index(1), Qt::UserRole).value<Service>();
    EXPECT_EQ(std::make_pair(second.port(), second.hostname()),
              std::make_pair(quint16(2007), QByteArray("Host-2.LOCAL.")));
    EXPECT_FALSE(model.data(model.index(3), Qt::DisplayRole).isValid());
    EXPECT_FALSE(model.data(model.index(0), Qt::ToolTipRole).isValid());

    // Answers name the host in other letter cases.
    server.inject(response({address("host-1.local.", "192.168.1.56")}));
    for (const char* ip : {"10.0.0.5", "fe80::1", "::ffff:192.168.1.5"})
        server.inject(response({address("host-2.local.", ip)}));
    EXPECT_EQ(ips.size(), 0);
    server.inject(response({address("host-2.local.", "192.168.1.57")}));
    ASSERT_EQ(ips.size(), 1);
    EXPECT_EQ(QStringList({ips.at(0).at(0).toString(), logic.ip_addr_.get()}),
              QStringList({"192.168.1.57", "192.168.1.57"}));

    // A host with thousands of addresses in one response proposes a bounded few.
    Message many = response({});
    for (int i = 0; i < 4000; ++i)
        many.addRecord(address("host-2.local.", QStringLiteral("192.168.%1.%2").arg(3 + i / 250).arg(i % 250)));
    server.inject(many);
    EXPECT_LE(ips.size(), 1 + 16);

    // Every tick starts a fresh browse: what was resolved is not asked for again.
    server.sent.clear();
    tick();
    EXPECT_FALSE(askedFor(server, "Host-2.LOCAL."));
    ASSERT_FALSE(server.sent.isEmpty());
    EXPECT_EQ(server.sent.last().queries().value(0).type(), PTR);

    server.inject(announcement("lidar-1", "host-1.local.", 2009));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(model.data(model.index(0), Qt::UserRole).value<Service>().port(), 2009);
    server.inject(announcement("lidar-1", "host-1.local.", 2009, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 2; }, 2000));
    EXPECT_EQ(model.data(model.index(0), Qt::UserRole).value<Service>().name(), QByteArray("lidar-2"));

    // Responses near 64 KB of pointers to instances nobody describes: 3,270 short names, or
    // 800 of the longest labels. A few milliseconds each in a plain build (the first took 0.8 s
    // when every pointer raised its own query); sanitizers slow this work a hundredfold, so
    // there only the queries are counted.
    for (const QByteArray& packet : {floodPacket(), floodPacket(20000, 800, 63)}) {
        Message flood;
        ASSERT_TRUE(decodeMessage(packet, flood));
        flood.setPort(MdnsPort);
        server.sent.clear();
        QElapsedTimer clock;
        clock.start();
        server.inject(flood);
        QCoreApplication::processEvents();
#ifndef KES_SANITIZED
        EXPECT_LT(clock.elapsed(), 200);
#endif
        EXPECT_LE(server.sent.size(), 3);
    }
}

TEST_F(LidarTest, FirmwareBGetsTheReUpgradeTextNoStreamAndConnectIsRefusedDuringAnUpgrade)
{
    startSimulator([](kes_sim::SimOptions& o) { o.firmware = "B0.9.1"; });
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(logic_->connectLidar());
    EXPECT_TRUE(states().contains(QStringLiteral("故障,请重新升级")));
    EXPECT_EQ(requests(kDataStream), 0u);
    EXPECT_FALSE(logic_->scan_thread_running_ || logic_->info_thread_running_);

    logic_->receive_update_flag(1);
    EXPECT_TRUE(states().contains(QStringLiteral("升级")));
    const uint32_t handshakes = requests(kTrackConnect);
    EXPECT_FALSE(logic_->connectLidar());
    EXPECT_EQ(requests(kTrackConnect), handshakes);

    logic_->receive_update_flag(0);
    EXPECT_TRUE(states().contains(QStringLiteral("未连接")));
    EXPECT_EQ(std::make_tuple(logic_->scan_frequency_.load(), logic_->busy_count_.load(), blocks.size()),
              std::make_tuple(20, 0, 0));
}

TEST_F(LidarTest, DestroyingWhileStreamingUpgradingOrConnectingReturnsWithinTheBound)
{
    startSimulator();
    ASSERT_TRUE(logic_->connectLidar());
    kes_test::SignalLog streaming(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(streaming.wait(2000));
    QElapsedTimer clock;
    clock.start();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 3500);

    startSimulator();
    ASSERT_TRUE(logic_->connectLidar());
    logic_->receive_update_flag(1);
    clock.restart();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 3500);

    // While connecting to an address that never answers: neither hangs nor crashes.
    startSimulator([](kes_sim::SimOptions& o) { o.silent_after_s = 0.0; });
    bool connected = true;
    std::thread worker([&, logic = logic_.get()] { connected = logic->connectLidar(); });
    QTest::qWait(200);
    clock.restart();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    worker.join();
    EXPECT_FALSE(connected);
    EXPECT_EQ(requests(kDataStream), 0u);
}

TEST_F(LidarTest, StreamsSendsEachSettingOnlyWhenItDiffersRebootsAndClosesLate)
{
    startSimulator([](kes_sim::SimOptions& o) { o.restart_ms = 0; });
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    kes_test::SignalLog motor(logic_.get(), &LidarLogic::sendMotor);
    kes_test::SignalLog frequency(logic_.get(), &LidarLogic::sendScanFrequency);
    QElapsedTimer clock;
    QList<qint64> temps;
    QObject::connect(logic_.get(), &LidarLogic::sendAPD_temp, logic_.get(), [&] { temps << clock.elapsed(); });
    clock.start();

    ASSERT_TRUE(logic_->connectLidar());
    EXPECT_TRUE(states().contains(QStringLiteral("正常运行中")));
    EXPECT_EQ(
        QStringList({logic_->firmware_version_.get(), logic_->hardware_version_.get(), logic_->sdk_version_.get()}),
        QStringList({"A1.0.7", "H2.1", "v1.0.5"}));
    EXPECT_EQ(frequency.texts(), QStringList{QString::number(sim_->snapshot().scan_frequency_hz)});
    ASSERT_TRUE(status_->size() == 1 && status_->at(0).at(0).toUInt() == 1u);

    ASSERT_TRUE(QTest::qWaitFor([&] { return blocks.size() >= 18 && temps.size() >= 3; }, 4000));
    for (int i = 0; i < 18; ++i) {
        const auto block = blocks.at(i).at(0).value<kes_sdk::ScanBlockData>();
        ASSERT_EQ(block.layers.size(), 1u);
        EXPECT_EQ(
            std::make_tuple(int(block.block_id), block.layers[0].intensities.size(), block.layers[0].ranges.size()),
            std::make_tuple(i % 6 + 1, size_t(2268 / 6), size_t(2268 / 6)));
    }
    for (int i = 1; i < temps.size(); ++i)
        EXPECT_TRUE(temps[i] - temps[i - 1] >= 450 && temps[i] - temps[i - 1] <= 1500) << temps[i] - temps[i - 1];
    EXPECT_GE(motor.size(), 2);

    kes_test::SignalLog dirChanged(logic_.get(), &LidarLogic::sigDirChanged);
    EXPECT_TRUE(logic_->applyScanFrequency());
    EXPECT_EQ(requests(kSetScanFrequency), 0u);
    logic_->scan_frequency_ = logic_->scan_frequency_ == 30 ? 25 : 30;
    EXPECT_TRUE(logic_->applyScanFrequency());
    EXPECT_EQ(std::make_tuple(requests(kSetScanFrequency), int(sim_->snapshot().scan_frequency_hz),
                              bool(logic_->scan_set_flag_)),
              std::make_tuple(1u, logic_->scan_frequency_.load(), true));

    const int direction = logic_->scan_direction_;
    EXPECT_TRUE(logic_->applyScanDirection());
    EXPECT_EQ(requests(kSetScanDirection), 0u);
    logic_->scan_direction_ = 1 - direction;
    EXPECT_TRUE(logic_->applyScanDirection());
    EXPECT_EQ(std::make_tuple(requests(kSetScanDirection), int(sim_->snapshot().scan_direction), dirChanged.size()),
              std::make_tuple(1u, 1 - direction, 2));

    logic_->setFilterLevel(4);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);
    EXPECT_EQ(logic_->setFilterEnable(false), kes_sdk::kSuccess);
    EXPECT_EQ(sim_->snapshot().filter_level, 0u);
    EXPECT_EQ(logic_->setFilterEnable(true), kes_sdk::kSuccess);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);
    // Every operation runs its own handshake before touching the device.
    EXPECT_EQ(std::make_pair(requests(kSetFilterLevel), requests(kTrackConnect)), std::make_pair(3u, 8u));

    // Half-typed, shorthand or unusable addresses: nothing is sent at all.
    for (const char* bad : {"192.168.1.", "192.168.1", "1.2.3.4.5", "192.168.1.256", "0.0.0.0", "255.255.255.255",
                            "224.0.0.251", "192.168.1.x", ""}) {
        logic_->ip_addr_ = QString::fromLatin1(bad);
        EXPECT_EQ(logic_->applyLidarIPAddress(), 0) << bad;
    }
    EXPECT_EQ(requests(kTrackConnect), 8u);

    kes_test::DebugLog log;
    logic_->ip_addr_ = QString::fromStdString(sim_->snapshot().ip_address);
    EXPECT_EQ(logic_->applyLidarIPAddress(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("first")));
    EXPECT_EQ(requests(kSetIpAddress), 0u);

    logic_->setLanguage(0);
    logic_->ip_addr_ = QStringLiteral("192.168.1.57");
    EXPECT_EQ(logic_->applyLidarIPAddress(), 1);
    EXPECT_EQ(std::make_tuple(sim_->snapshot().ip_address, requests(kApplyConfigs)),
              std::make_tuple("192.168.1.57", 1u));
    EXPECT_TRUE(states().contains(QStringLiteral("Restart")));

    EXPECT_TRUE(logic_->rebootLidar());
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_EQ(states().last(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status_->size() == 2 && status_->at(1).at(0).toUInt() == 0u; }, 1000));
    EXPECT_EQ(logic_->busy_count_.load(), 0);
    EXPECT_FALSE(logic_->scan_thread_running_ || logic_->info_thread_running_);

    // The earlier connection ends with a disconnect; once its close thread has the driver and is
    // in its pause after closing it, a new connection starts. That close thread finishes later
    // and must leave the new connection's flags, status and discovery alone.
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    ASSERT_TRUE(logic_->connectLidar());
    std::thread ending([logic = logic_.get()] { logic->disconnectLidar(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic_->busy_count_ == 0; }, 5000));
    QTest::qWait(150);
    ASSERT_TRUE(logic_->connectLidar());
    ending.join();
    QTest::qWait(300);
    EXPECT_EQ(status_->last().at(0).toUInt(), 1u);
    EXPECT_FALSE(logic_->exit_flag_);
    EXPECT_FALSE(discovery()->isActive());
    EXPECT_TRUE(blocks.wait(1000));

    ASSERT_TRUE(logic_->disconnectLidar());
    EXPECT_EQ(states().last(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return status_->last().at(0).toUInt() == 0u && discovery()->isActive(); }, 1000));
    EXPECT_TRUE(logic_->exit_flag_);
}

// Nothing reaches the device without a connection: not at an address that is none here (127.1,
// inet_addr's shorthand for where the simulator listens), nor after a refused handshake, which
// gives Malfunction in the chosen language and drops the driver.
TEST_F(LidarTest, WithoutAConnectionNothingReachesTheDevice)
{
    startSimulator([](kes_sim::SimOptions& o) { o.refused = {kTrackConnect}; });
    kes_test::DebugLog log;
    logic_->ip_addr_ = QStringLiteral("127.1");
    EXPECT_FALSE(logic_->connectLidar());
    EXPECT_FALSE(logic_->applyScanFrequency());
    EXPECT_FALSE(logic_->applyScanDirection());
    EXPECT_EQ(logic_->applyLidarIPAddress(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("second")));
    EXPECT_EQ(logic_->applyConfigs(), kes_sdk::kNoAnswer);
    EXPECT_FALSE(logic_->rebootLidar());
    logic_->setFilterLevel(3);
    EXPECT_EQ(logic_->device_stop_stream(), kes_sdk::kNoAnswer);
    EXPECT_TRUE(logic_->disconnectLidar());
    EXPECT_TRUE(sim_->snapshot().request_counts.empty());

    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    const int drivers = log.count(QStringLiteral("new"));
    logic_->setLanguage(2);
    EXPECT_FALSE(logic_->connectLidar());
    logic_->setLanguage(0);
    EXPECT_FALSE(logic_->connectLidar());
    EXPECT_EQ(states(), QStringList({QStringLiteral("故障"), QStringLiteral("未连接"), QStringLiteral("故障"),
                                     QStringLiteral("Malfunction")}));
    EXPECT_EQ(std::make_tuple(log.count(QStringLiteral("new")) - drivers, requests(kTrackConnect),
                              requests(kDataStream), bool(logic_->connected_), logic_->last_result_.load()),
              std::make_tuple(2, 2u, 0u, false, kes_sdk::kDeviceFailure));
}

// Unplugged 0.8 s in, just after a frequency change: a failed scan inside the settle window
// is tolerated; once the window is over, one ends the connection.
TEST_F(LidarTest, PullingThePlugEndsTheConnectionOnceTheSettleWindowIsOver)
{
    startSimulator([](kes_sim::SimOptions& o) { o.silent_after_s = 0.8; });
    logic_->setLanguage(0);
    ASSERT_TRUE(logic_->connectLidar());
    kes_test::SignalLog streaming(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(streaming.wait(2000));
    EXPECT_FALSE(logic_->scan_set_flag_);
    kes_test::DebugLog log;
    logic_->scan_frequency_ = logic_->scan_frequency_ == 30 ? 25 : 30;
    ASSERT_TRUE(logic_->applyScanFrequency());
    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("scan scan_set_flag_")); }, 6000));
    EXPECT_FALSE(states().contains(QStringLiteral("Malfunction")));
    EXPECT_TRUE(logic_->connected_);
    QTimer* settle = logic_->findChild<QTimer*>(QStringLiteral("settle_timer_"));
    ASSERT_TRUE(settle->isActive());

    QMetaObject::invokeMethod(settle, "timeout");
    EXPECT_TRUE(QTest::qWaitFor([&] { return states().contains(QStringLiteral("Malfunction")); }, 9000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status_->size() == 2; }, 8000));
    EXPECT_EQ(std::make_tuple(status_->last().at(0).toUInt(), bool(logic_->connected_), logic_->busy_count_.load()),
              std::make_tuple(0u, false, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return discovery()->isActive(); }, 500));
}
