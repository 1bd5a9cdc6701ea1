#include "upgrade_fixture.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

using namespace kes_sdk::cmd;

namespace {

QMessageBox* countdownBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    return nullptr;
}

} // namespace

using UpgradeWindow = UpgradeFixture;

TEST_F(UpgradeWindow, StartIsRefusedWithoutALidarOrWithoutAnImage)
{
    open();
    progress()->setValue(30);
    script_.expect(QStringLiteral("请先连接雷达！"));
    clickStart();
    EXPECT_EQ(progress()->value(), 0);

    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    ASSERT_TRUE(logic_->connectLidar());
    script_.expect(QStringLiteral("请先选择文件.."));
    clickStart();
    choose(image("empty.bin", 0));
    ASSERT_EQ(script_.queries.size(), 1u);
    EXPECT_EQ(window_->findChild<QLineEdit*>("fileEdit")->text(), script_.next_file);
    script_.expect(QStringLiteral("请先选择文件.."));
    clickStart();
    EXPECT_EQ(script_.shown.back().parent, window_.data());
    choose(QString());
    EXPECT_TRUE(window_->findChild<QLineEdit*>("fileEdit")->text().isEmpty());
    EXPECT_TRUE(flags_->firsts().isEmpty());
    EXPECT_TRUE(logic_->connected_);
}

TEST_F(UpgradeWindow, ATwoChunkImageUpgradesThroughTheHooksAndCountsDown)
{
    open();
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    ASSERT_TRUE(logic_->connectLidar());
    kes_test::DebugLog log;
    choose(image("two.bin", 1024));
    kes_test::SignalLog values(progress(), &QProgressBar::valueChanged);
    script_.expect("升级成功，等待设备重启: 10 秒");
    clickStart();
    clickStart();
    bar_->update_clicked();
    EXPECT_TRUE(window_) << "a window whose threads run is kept";
    ASSERT_TRUE(flags_->waitFor(QVariant::fromValue(0u)));
    EXPECT_EQ(flags_->firsts(), (QVariantList{QVariant::fromValue(1u), QVariant::fromValue(0u)}));
    EXPECT_EQ(values.firsts(), (QVariantList{50, 98, 100}));
    EXPECT_EQ(log.count(QStringLiteral("start_upgrade ret")), 1);
    EXPECT_EQ(requests(kDeviceReboot), 1u);
    EXPECT_FALSE(sim_->snapshot().stream_on);
    EXPECT_TRUE(states_->texts().contains(QStringLiteral("升级")));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));

    QMessageBox* box = countdownBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("升级成功，等待设备重启: 10 秒"));
    EXPECT_TRUE(QTest::qWaitFor([] { return countdownBox() == nullptr; }, 3000));
    EXPECT_EQ(log.count(QStringLiteral("timer_countdown")), 11);
    EXPECT_TRUE(states_->waitFor(QStringLiteral("未连接")));
}

TEST_F(UpgradeWindow, FiveRefusedStartsFailThenARetrySucceedsAndItsBoxCloses)
{
    open();
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    ASSERT_TRUE(logic_->connectLidar());
    const auto device = std::make_shared<FakeDevice>("", 5);
    window_->setUpgradeDevice(device);
    choose(image("short.bin", 100));
    script_.expect(QStringLiteral("升級失败！"));
    clickStart();
    ASSERT_TRUE(flags_->waitFor(QVariant::fromValue(2u)));
    EXPECT_TRUE(script_.waitForAll());
    EXPECT_EQ(device->starts.load(), 5);
    EXPECT_EQ(device->writes.load(), 0);
    EXPECT_TRUE(states_->waitFor(QStringLiteral("升级失败")));

    // The scan thread notices the stopped stream only when its wait for a scan runs out.
    ASSERT_TRUE(QTest::qWaitFor([this] { return bool(logic_->exit_flag_); }, 6000));
    ASSERT_TRUE(logic_->connectLidar());
    kes_test::DebugLog log;
    script_.expect("升级成功，等待设备重启: 10 秒");
    clickStart();
    ASSERT_TRUE(flags_->waitFor(QVariant::fromValue(0u)));
    EXPECT_EQ(device->writes.load(), 1);
    ASSERT_NE(countdownBox(), nullptr);
    // Closing the last window ends the event loop as main runs it, long before the fallback.
    QTimer::singleShot(0, bar_.get(), &QWidget::close);
    QTimer::singleShot(3000, qApp, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the count-down box keeps the process alive";
    EXPECT_TRUE(QTest::qWaitFor([] { return countdownBox() == nullptr; }, 1000));
    EXPECT_EQ(log.count(QStringLiteral("rejected")), 1);
    const int ticks = log.count(QStringLiteral("timer_countdown"));
    QTest::qWait(200);
    EXPECT_EQ(log.count(QStringLiteral("timer_countdown")), ticks) << "closing the box stops the count-down";
}

TEST_F(UpgradeWindow, ClosingTheToolBarMidTransferStopsTheThreadsAndFailsTheUpgrade)
{
    open();
    logic_->ip_addr_ = QStringLiteral("127.0.0.1");
    ASSERT_TRUE(logic_->connectLidar());
    const auto device = std::make_shared<FakeDevice>();
    window_->setUpgradeDevice(device);
    choose(image("long.bin", 200 * 512));
    clickStart();
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->writes > 2; }, 3000));
    QElapsedTimer closing;
    closing.start();
    bar_.reset();
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_TRUE(window_.isNull());
    const int writes = device->writes;
    QTest::qWait(100);
    EXPECT_EQ(device->writes.load(), writes);
    EXPECT_EQ(states_->texts().last(), QStringLiteral("升级失败"));
}
