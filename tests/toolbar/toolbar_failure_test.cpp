#include "toolbar_fixture.h"

#include <QElapsedTimer>

using namespace kes_sdk::cmd;

using ToolBarFailure = ToolBarFixture;

TEST_F(ToolBarFailure, AnUnpluggedLidarChimesOnceAndShowsTheEnglishAnomalyBox)
{
    kes_sim::SimOptions options;
    options.silent_after_s = 1.0;
    start(options);
    connectDiscovered();
    click("toolButton_language");
    ASSERT_TRUE(QTest::qWaitFor([this] { return !logic_->first_block_pending_; }, 3000));

    script_.expect(QStringLiteral("Lidar connection anomaly."));
    ASSERT_TRUE(script_.waitForAll(8000));
    EXPECT_EQ(script_.chimes, 1);
    EXPECT_EQ(script_.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(script_.shown[0].parent, nullptr);
    EXPECT_TRUE(states_->texts().contains(QStringLiteral("Malfunction")));
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/disconnect.png"));
    EXPECT_FALSE(child<QCheckBox>("checkBox")->isEnabled());
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
}

// Each answer is held back, so the tool bar goes away while its job is inside the logic.
TEST_F(ToolBarFailure, ClosingDuringAConnectOrASettingsSequenceEndsCleanly)
{
    kes_sim::SimOptions options;
    options.delay_ms = 150;
    options.restart_ms = 0;
    start(options);
    emit logic_->sendIP(QStringLiteral("127.0.0.1"));
    clickSwitch();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests(kTrackConnect) > 0; }, 3000));
    QElapsedTimer closing;
    closing.start();
    bar_.reset();
    EXPECT_LT(closing.elapsed(), 10000);
    EXPECT_TRUE(logic_->connected_) << "the connect in flight was awaited";

    bar_ = std::make_unique<LidarToolBar>();
    bar_->setLogic(logic_.get());
    bar_->show();
    click("pushButton");
    ASSERT_TRUE(QTest::qWaitFor([this] { return requests(kGetScanFrequency) > 1; }, 3000));
    bar_.reset();
    QTest::qWait(400);
    EXPECT_EQ(requests(kGetScanDirection), 1u) << "no call starts once the tool bar is gone";
    EXPECT_EQ(requests(kGetIpAddress), 0u);
    logic_->disconnectLidar();
    logic_.reset();
}
