#include "player_fixture.h"

TEST_F(PlayerFixture, PlayRunsToTheEnd)
{
    load("four.csv", 24);
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("暂停"));
    EXPECT_FALSE(child<QSlider>("horizontalSlider")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button("playButton")->isChecked(); }, 5000));
    std::vector<uint32_t> expected;
    for (uint32_t frame = 0; frame < 4; ++frame)
        for (uint32_t stamp : frameStamps(frame))
            expected.push_back(stamp);
    EXPECT_EQ(shownSince(mark), expected);
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("播放"));
    EXPECT_TRUE(child<QSlider>("horizontalSlider")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QStringLiteral("4"));
    const std::size_t after = shown_.size();
    button("nextFrameButton")->click();
    EXPECT_EQ(shownSince(after), frameStamps(1));
}

TEST_F(PlayerFixture, PauseAndResumeContinueWithTheShownFrame)
{
    load("twenty.csv", 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 4));
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("播放"));
    // The pass ends at the next frame boundary; the view then stays still.
    std::size_t seen = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const bool still = shown_.size() == seen;
        seen = shown_.size();
        return still && seen % 6 == 0;
    }, 3000));
    QTest::qWait(120);
    ASSERT_EQ(shown_.size(), seen);
    const uint32_t last_frame = shown_.back() / 6;
    button("playButton")->click();
    ASSERT_TRUE(waitShown(seen + 6));
    EXPECT_EQ(shownSince(seen).front(), last_frame * 6);
    button("playButton")->click();
}

TEST_F(PlayerFixture, ConnectingStopsPlayback)
{
    load("twenty.csv", 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 3));
    logic_->connected_ = true;
    bar_->receive_status(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button("playButton")->isChecked(); }, 3000));
    QTest::qWait(150);
    const std::size_t seen = shown_.size();
    QTest::qWait(150);
    EXPECT_EQ(shown_.size(), seen);
}

TEST_F(PlayerFixture, ClosingDuringPlaybackEndsCleanly)
{
    load("twenty.csv", 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 3));
    bar_.reset();
    SUCCEED();
}

TEST_F(PlayerFixture, ClosingAtTheEndOfPlaybackEndsCleanly)
{
    load("one.csv", 6);
    button("playButton")->click();
    QTest::qWait(45);
    bar_.reset();
    SUCCEED();
}

TEST_F(PlayerFixture, ClosingDuringLoadingEndsCleanly)
{
    chosen_ = path("big.csv");
    ASSERT_TRUE(writeFile(chosen_, 3000, 600));
    button("openButton")->click();
    bar_.reset();
    SUCCEED();
}
