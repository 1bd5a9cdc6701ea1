#include "../sdk/fake_peer.h"
#include "logic_fixture.h"

#include <kes_sdk/command_codes.h>

#include <QElapsedTimer>
#include <QTimer>

using FailureTest = LogicFixture;

namespace {

kes_sim::SimOptions unpluggedAfter(double seconds)
{
    kes_sim::SimOptions options;
    options.silent_after_s = seconds;
    return options;
}

} // namespace

TEST_F(FailureTest, PullingThePlugAfterTheFirstGoodScanEndsTheConnection)
{
    startSimulator(unpluggedAfter(0.8));
    logic_->setLanguage(0);
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(logic_->connectLidar());
    ASSERT_TRUE(blocks.wait(1000));
    EXPECT_FALSE(logic_->scan_set_flag_);

    EXPECT_TRUE(waitForState(QStringLiteral("Malfunction"), 6000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return status_->size() == 2; }, 8000));
    EXPECT_EQ(status_->last().at(0).toUInt(), 0u);
    EXPECT_FALSE(logic_->connected_);
    EXPECT_EQ(logic_->busy_count_.load(), 0);
    QTimer* discovery = logic_->findChild<QTimer*>(QStringLiteral("mdns_timer_"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return discovery->isActive(); }, 500));
}

TEST_F(FailureTest, AFailedScanInsideTheSettleWindowIsTolerated)
{
    startSimulator(unpluggedAfter(0.8));
    logic_->setLanguage(0);
    kes_test::SignalLog blocks(logic_.get(), &LidarLogic::sendBlock);
    ASSERT_TRUE(logic_->connectLidar());
    ASSERT_TRUE(blocks.wait(1000));
    kes_test::DebugLog log;
    logic_->scan_frequency_ = logic_->scan_frequency_ == 30 ? 25 : 30;
    ASSERT_TRUE(logic_->applyScanFrequency());

    EXPECT_TRUE(QTest::qWaitFor([&] { return log.contains(QStringLiteral("scan scan_set_flag_")); }, 6000));
    EXPECT_FALSE(states().contains(QStringLiteral("Malfunction")));
    EXPECT_TRUE(logic_->connected_);
    EXPECT_TRUE(logic_->findChild<QTimer*>(QStringLiteral("settle_timer_"))->isActive());
}

// A device that answers every request but, once asked to stream, sends only datagrams of a
// foreign index (for 15 s): the scan thread's call ends within twice the 3 s time-out, and
// the disconnect with it.
TEST(JunkStreamTest, DisconnectEndsWhileTheStreamNeverCompletesARevolution)
{
    std::mutex m;
    std::unique_ptr<ScanStreamer> junk;
    FakePeer device([&](FakePeer& p, const Bytes& request, const Endpoint& from) {
        p.send(deviceAnswer(request), from);
        std::lock_guard<std::mutex> lock(m);
        if (codeOf(request) == kes_sdk::cmd::kDataStream && request[11] == 1 && !junk)
            junk = std::make_unique<ScanStreamer>(from, std::vector<uint8_t>{7}, true, 15);
    });
    kes_test::FakeMdnsServer mdns;
    auto logic = std::make_unique<LidarLogic>(&mdns);
    logic->ip_addr_ = QStringLiteral("127.0.0.1");
    logic->lidar_port_ = device.port();
    ASSERT_TRUE(logic->connectLidar());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(logic->disconnectLidar());
    EXPECT_LT(clock.elapsed(), 8000);
    logic.reset();
    std::lock_guard<std::mutex> lock(m);
    junk.reset();
}
