#include "toolbar_fixture.h"

using namespace kes_sdk::cmd;

namespace {

kes_sim::SimOptions quickRestart(std::set<uint16_t> refused = {})
{
    kes_sim::SimOptions options;
    options.restart_ms = 0;
    options.refused = std::move(refused);
    return options;
}

} // namespace

using ToolBarSettings = ToolBarFixture;

// The field holds 127.0.0.1 while the device stores its factory address, so the first
// Confirm is an address change; after the reboot the two agree.
TEST_F(ToolBarSettings, AnAddressChangeRebootsThenConfirmAppliesTheSettingsAlone)
{
    start(quickRestart());
    connectDiscovered();
    kes_test::DebugLog log;
    click("pushButton");
    ASSERT_TRUE(states_->waitFor(QStringLiteral("重启")));
    ASSERT_TRUE(states_->waitFor(QStringLiteral("未连接")));
    ASSERT_TRUE(waitEnabled("switchButton"));
    EXPECT_EQ(sim_->snapshot().ip_address, "127.0.0.1");
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_EQ(log.count(QStringLiteral("reboot ok.")), 1);
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
    EXPECT_TRUE(waitEnabled("pushButton"));

    clickSwitch();
    ASSERT_TRUE(QTest::qWaitFor([this] { return logic_->connected_ && switchButton()->isEnabled(); }, 5000));
    const uint32_t hz = sim_->snapshot().scan_frequency_hz == 25 ? 30 : 25;
    child<QComboBox>("comboBox")->setCurrentText(QString::number(hz));
    const int direction = 1 - int(sim_->snapshot().scan_direction);
    child<QComboBox>("directionBox")->setCurrentIndex(direction);
    click("pushButton");
    EXPECT_FALSE(child<QPushButton>("pushButton")->isEnabled());
    ASSERT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(sim_->snapshot().scan_frequency_hz, hz);
    EXPECT_EQ(int(sim_->snapshot().scan_direction), direction);
    EXPECT_EQ(requests(kGetIpAddress), 2u);
    EXPECT_EQ(requests(kSetIpAddress), 1u);
    EXPECT_EQ(requests(kDeviceReboot), 1u) << "an unchanged address needs no reboot";
}

TEST_F(ToolBarSettings, ARefusedFrequencyAndRebootShowTheirChineseBoxes)
{
    start(quickRestart({kSetScanFrequency, kDeviceReboot}));
    connectDiscovered();
    child<QComboBox>("comboBox")->setCurrentText(QStringLiteral("30"));
    child<QComboBox>("directionBox")->setCurrentIndex(1);
    script_.expect(QStringLiteral("修改频率失败"));
    script_.expect(QStringLiteral("雷达重启失败，需手动重启"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_EQ(script_.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(script_.shown[0].parent, bar_.get());
    EXPECT_EQ(script_.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(sim_->snapshot().scan_direction, 1u) << "the sequence goes on after the frequency";
    EXPECT_EQ(requests(kSetIpAddress), 1u);
    EXPECT_TRUE(waitEnabled("switchButton"));
}

TEST_F(ToolBarSettings, ARefusedDirectionStopsSilentlyAndARefusedAddressShowsItsEnglishBox)
{
    start(quickRestart({kSetScanDirection, kSetIpAddress}));
    connectDiscovered();
    click("toolButton_language");
    child<QComboBox>("directionBox")->setCurrentIndex(1);
    click("pushButton");
    ASSERT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kSetScanDirection), 1u);
    EXPECT_EQ(requests(kGetIpAddress), 0u);

    child<QComboBox>("directionBox")->setCurrentIndex(0);
    script_.expect(QStringLiteral("Modify IP failure"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_EQ(script_.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(script_.shown[0].parent, nullptr);
    EXPECT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kDeviceReboot), 0u);

    // A half-typed address is refused before anything reaches the lidar.
    ipEdit()->selectAll();
    QTest::keyClicks(ipEdit(), QStringLiteral("192.168.1."));
    EXPECT_EQ(ipEdit()->text(), QStringLiteral("192.168.1."));
    script_.expect(QStringLiteral("Modify IP failure"));
    click("pushButton");
    ASSERT_TRUE(script_.waitForAll());
    EXPECT_TRUE(waitEnabled("pushButton"));
    EXPECT_EQ(requests(kSetIpAddress), 1u);
    EXPECT_EQ(requests(kDeviceReboot), 0u);
}

TEST_F(ToolBarSettings, FilterAndColourControlsReachTheDevice)
{
    start(quickRestart());
    connectDiscovered();
    auto* slider = child<QSlider>("horizontalSlider");
    const auto filterIs = [this](uint32_t level) {
        return QTest::qWaitFor([&] { return sim_->snapshot().filter_level == level; }, 3000);
    };
    slider->setValue(3);
    EXPECT_EQ(child<QLineEdit>("filterEdit")->text(), QStringLiteral("3"));
    EXPECT_TRUE(filterIs(3));
    ASSERT_TRUE(waitEnabled("horizontalSlider"));
    child<QLineEdit>("filterEdit")->selectAll();
    QTest::keyClicks(child<QLineEdit>("filterEdit"), QStringLiteral("5"));
    EXPECT_EQ(slider->value(), 5);
    EXPECT_TRUE(filterIs(5));
    ASSERT_TRUE(waitEnabled("horizontalSlider"));

    // Typed while the first level is on its way: only the last one follows it.
    const uint32_t sent = requests(kSetFilterLevel);
    for (const char* level : {"1", "2", "4"}) {
        child<QLineEdit>("filterEdit")->selectAll();
        QTest::keyClicks(child<QLineEdit>("filterEdit"), QString::fromLatin1(level));
    }
    ASSERT_TRUE(waitEnabled("horizontalSlider"));
    EXPECT_EQ(requests(kSetFilterLevel), sent + 2);
    EXPECT_EQ(sim_->snapshot().filter_level, 4u);

    click("checkBox");
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_TRUE(filterIs(0));
    ASSERT_TRUE(waitEnabled("checkBox"));
    click("checkBox");
    EXPECT_TRUE(filterIs(4));
    EXPECT_TRUE(slider->isEnabled());

    kes_test::SignalLog modes(logic_.get(), &LidarLogic::sendColorMode);
    child<QComboBox>("mode_comBox")->setCurrentIndex(2);
    EXPECT_EQ(modes.firsts(), (QVariantList{QVariant::fromValue(2u)}));
}
