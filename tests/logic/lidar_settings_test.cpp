#include "logic_fixture.h"

#include <kes_sdk/command_codes.h>
#include <kes_sdk/command_result.h>

using namespace kes_sdk::cmd;

using SettingsTest = LogicFixture;

TEST_F(SettingsTest, EachSettingReachesTheDeviceOnlyWhenItDiffers)
{
    startSimulator();
    kes_test::SignalLog dirChanged(logic_.get(), &LidarLogic::sigDirChanged);
    ASSERT_TRUE(logic_->connectLidar());
    const int hz = logic_->scan_frequency_;
    EXPECT_TRUE(logic_->applyScanFrequency());
    EXPECT_EQ(requests(kSetScanFrequency), 0u);
    logic_->scan_frequency_ = hz == 30 ? 25 : 30;
    EXPECT_TRUE(logic_->applyScanFrequency());
    EXPECT_EQ(requests(kSetScanFrequency), 1u);
    EXPECT_EQ(int(sim_->snapshot().scan_frequency_hz), logic_->scan_frequency_.load());
    EXPECT_TRUE(logic_->scan_set_flag_);

    const int direction = logic_->scan_direction_;
    EXPECT_TRUE(logic_->applyScanDirection());
    EXPECT_EQ(requests(kSetScanDirection), 0u);
    logic_->scan_direction_ = 1 - direction;
    EXPECT_TRUE(logic_->applyScanDirection());
    EXPECT_EQ(requests(kSetScanDirection), 1u);
    EXPECT_EQ(int(sim_->snapshot().scan_direction), 1 - direction);
    EXPECT_EQ(dirChanged.size(), 2);

    logic_->setFilterLevel(4);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);
    EXPECT_EQ(logic_->setFilterEnable(false), kes_sdk::kSuccess);
    EXPECT_EQ(sim_->snapshot().filter_level, 0u);
    EXPECT_EQ(logic_->setFilterEnable(true), kes_sdk::kSuccess);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);
    EXPECT_EQ(requests(kSetFilterLevel), 3u);
    // Every operation runs its own handshake before touching the device.
    EXPECT_EQ(requests(kTrackConnect), 8u);

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
}

TEST_F(SettingsTest, AnAddressChangeGivesRestartAndTheRebootEndsInDisconnect)
{
    kes_sim::SimOptions options;
    options.restart_ms = 0;
    startSimulator(options);
    logic_->setLanguage(0);
    ASSERT_TRUE(logic_->connectLidar());
    logic_->ip_addr_ = QStringLiteral("192.168.1.57");
    EXPECT_EQ(logic_->applyLidarIPAddress(), 1);
    EXPECT_EQ(sim_->snapshot().ip_address, "192.168.1.57");
    EXPECT_EQ(requests(kApplyConfigs), 1u);
    EXPECT_TRUE(states().contains(QStringLiteral("Restart")));

    EXPECT_TRUE(logic_->rebootLidar());
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_EQ(states().last(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status_->size() == 2; }, 1000));
    EXPECT_EQ(logic_->busy_count_.load(), 0);
}

TEST_F(SettingsTest, WithoutAConnectionNothingReachesTheDevice)
{
    startSimulator();
    kes_test::DebugLog log;
    // Shorthand for 127.0.0.1 to inet_addr, where the simulator listens: not an address here.
    logic_->ip_addr_ = QStringLiteral("127.1");
    EXPECT_FALSE(logic_->connectLidar());
    EXPECT_FALSE(logic_->applyScanFrequency());
    EXPECT_FALSE(logic_->applyScanDirection());
    EXPECT_EQ(logic_->applyLidarIPAddress(), 2);
    EXPECT_TRUE(log.contains(QStringLiteral("second")));
    EXPECT_EQ(logic_->applyConfigs(), kes_sdk::kNoAnswer);
    EXPECT_FALSE(logic_->rebootLidar());
    logic_->setFilterLevel(3);
    EXPECT_EQ(logic_->filter_level_.load(), 3u);
    EXPECT_EQ(logic_->device_stop_stream(), kes_sdk::kNoAnswer);
    EXPECT_TRUE(logic_->disconnectLidar());
    EXPECT_EQ(states(), QStringList({QStringLiteral("故障"), QStringLiteral("未连接")}));
    EXPECT_TRUE(sim_->snapshot().request_counts.empty());
}
