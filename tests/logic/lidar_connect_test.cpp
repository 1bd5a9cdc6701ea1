#include "logic_fixture.h"

#include <kes_sdk/command_codes.h>
#include <kes_sdk/command_result.h>

#include <QElapsedTimer>
#include <QTimer>

#include <thread>

using namespace kes_sdk::cmd;

using ConnectTest = LogicFixture;

TEST_F(ConnectTest, StreamsSixBlocksPerRevolutionAndPollsEveryHalfSecond)
{
    startSimulator();
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    kes_test::SignalLog motor(logic_.get(), &LidarLogic::sendMotor);
    kes_test::SignalLog frequency(logic_.get(), &LidarLogic::sendScanFrequency);
    QElapsedTimer clock;
    QList<qint64> temps;
    QObject::connect(logic_.get(), &LidarLogic::sendAPD_temp, logic_.get(), [&] { temps << clock.elapsed(); });
    clock.start();

    ASSERT_TRUE(logic_->connectLidar());
    EXPECT_TRUE(states().contains(QStringLiteral("正常运行中")));
    EXPECT_EQ(logic_->firmware_version_.get(), QStringLiteral("A1.0.7"));
    EXPECT_EQ(logic_->hardware_version_.get(), QStringLiteral("H2.1"));
    EXPECT_EQ(logic_->sdk_version_.get(), QStringLiteral("v1.0.5"));
    ASSERT_EQ(frequency.size(), 1);
    EXPECT_EQ(frequency.at(0).at(0).toInt(), int(sim_->snapshot().scan_frequency_hz));
    ASSERT_TRUE(status_->size() == 1 && status_->at(0).at(0).toUInt() == 1u);

    ASSERT_TRUE(QTest::qWaitFor([&] { return blocks.size() >= 18 && temps.size() >= 3; }, 4000));
    size_t points = 0;
    for (int i = 0; i < 18; ++i) {
        const auto block = blocks.at(i).at(0).value<kes_sdk::ScanBlockData>();
        EXPECT_EQ(block.block_id, i % 6 + 1);
        ASSERT_EQ(block.layers.size(), 1u);
        EXPECT_EQ(block.layers[0].ranges.size(), block.layers[0].intensities.size());
        EXPECT_EQ(block.reserved8, 0);
        EXPECT_EQ(block.reserved16, 0);
        points = points ? points : block.layers[0].ranges.size();
        EXPECT_EQ(block.layers[0].ranges.size(), points);
    }
    EXPECT_GT(points, 0u);
    for (int i = 1; i < temps.size(); ++i) {
        EXPECT_GE(temps[i] - temps[i - 1], 450);
        EXPECT_LE(temps[i] - temps[i - 1], 1500);
    }
    EXPECT_GE(motor.size(), 2);

    ASSERT_TRUE(logic_->disconnectLidar());
    EXPECT_TRUE(states().contains(QStringLiteral("未连接")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status_->size() == 2; }, 1000));
    EXPECT_EQ(status_->at(1).at(0).toUInt(), 0u);
    EXPECT_EQ(logic_->busy_count_.load(), 0);
    EXPECT_FALSE(logic_->scan_thread_running_ || logic_->info_thread_running_);
}

TEST_F(ConnectTest, RefusedHandshakeGivesMalfunctionInTheChosenLanguageAndDropsTheDriver)
{
    kes_sim::SimOptions options;
    options.refused = {kTrackConnect};
    startSimulator(options);
    kes_test::DebugLog log;
    logic_->setLanguage(2);
    EXPECT_FALSE(logic_->connectLidar());
    logic_->setLanguage(0);
    EXPECT_FALSE(logic_->connectLidar());
    EXPECT_EQ(states(), QStringList({QStringLiteral("故障"), QStringLiteral("Malfunction")}));
    EXPECT_EQ(log.count(QStringLiteral("new")), 2);
    EXPECT_EQ(requests(kTrackConnect), 2u);
    EXPECT_EQ(requests(kDataStream), 0u);
    EXPECT_FALSE(logic_->connected_);
    EXPECT_EQ(logic_->last_result_.load(), kes_sdk::kDeviceFailure);
}

TEST_F(ConnectTest, FirmwareBGetsTheReUpgradeTextNoStreamAndConnectIsRefusedDuringAnUpgrade)
{
    kes_sim::SimOptions options;
    options.firmware = "B0.9.1";
    startSimulator(options);
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
    EXPECT_EQ(logic_->scan_frequency_.load(), 20);
    EXPECT_EQ(logic_->busy_count_.load(), 0);
    EXPECT_EQ(blocks.size(), 0);
}

TEST_F(ConnectTest, DestroyingWhileStreamingOrUpgradingReturnsWithinTheBound)
{
    startSimulator();
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(logic_->connectLidar());
    ASSERT_TRUE(blocks.wait(2000));
    QElapsedTimer clock;
    clock.start();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 3500);

    logic_ = std::make_unique<LidarLogic>(&mdns_);
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    logic_->lidar_port_ = sim_->port();
    ASSERT_TRUE(logic_->connectLidar());
    logic_->receive_update_flag(1);
    clock.restart();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 3500);
}

TEST_F(ConnectTest, DestroyingWhileConnectingToASilentAddressNeitherHangsNorCrashes)
{
    kes_sim::SimOptions options;
    options.silent_after_s = 0.0;
    startSimulator(options);
    bool connected = true;
    std::thread worker([&, logic = logic_.get()] { connected = logic->connectLidar(); });
    QTest::qWait(200);
    QElapsedTimer clock;
    clock.start();
    logic_.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    worker.join();
    EXPECT_FALSE(connected);
    EXPECT_EQ(requests(kDataStream), 0u);
}

// The earlier connection ends with a disconnect; once its close thread has the driver and is
// in its pause after closing it, a new connection starts. That close thread finishes later
// and must leave the new connection's flags, status and discovery alone.
TEST_F(ConnectTest, ALateCloseOfAnEarlierConnectionLeavesTheLaterOneAlone)
{
    startSimulator();
    QTimer* discovery = logic_->findChild<QTimer*>(QStringLiteral("mdns_timer_"));
    ASSERT_TRUE(logic_->connectLidar());
    std::thread ending([logic = logic_.get()] { logic->disconnectLidar(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic_->busy_count_ == 0; }, 5000));
    QTest::qWait(150);
    ASSERT_TRUE(logic_->connectLidar());
    ending.join();
    QTest::qWait(300);
    EXPECT_EQ(status_->last().at(0).toUInt(), 1u);
    EXPECT_FALSE(logic_->exit_flag_);
    EXPECT_FALSE(discovery->isActive());
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    EXPECT_TRUE(blocks.wait(1000));

    ASSERT_TRUE(logic_->disconnectLidar());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return status_->last().at(0).toUInt() == 0u && discovery->isActive(); }, 1000));
    EXPECT_TRUE(logic_->exit_flag_);
}
