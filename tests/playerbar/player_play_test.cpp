#include "player_fixture.h"

#include <QElapsedTimer>

#include <numeric>

// After the pass the view, the slider, the frame field and an intercept agree on the last frame.
TEST_F(PlayerFixture, PlayRunsToTheEndAndStaysOnTheLastFrame)
{
    load("four.csv", 24);
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("暂停"));
    EXPECT_FALSE(child<QSlider>("horizontalSlider")->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button("playButton")->isChecked(); }, 5000));
    std::vector<uint32_t> expected(24);
    std::iota(expected.begin(), expected.end(), 0u);
    EXPECT_EQ(shownSince(mark), expected);
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("播放"));
    EXPECT_TRUE(child<QSlider>("horizontalSlider")->isEnabled());
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 3);
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QStringLiteral("4"));
    const std::size_t after = shown_.size();
    button("nextFrameButton")->click();
    EXPECT_EQ(shown_.size(), after) << "already on the last frame";
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(path("four_block_position_4.csv")), frameStamps(3));
    button("preFrameButton")->click();
    EXPECT_EQ(shownSince(after), frameStamps(2));
}

TEST_F(PlayerFixture, PauseAndResumeContinueWithTheShownFrame)
{
    load("twenty.csv", 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 4));
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), QStringLiteral("播放"));
    QTest::qWait(120); // the pass stops within a frame; the view then stays still
    const std::size_t seen = shown_.size();
    QTest::qWait(120);
    ASSERT_EQ(shown_.size(), seen);
    ASSERT_EQ(seen % 6, 0u);
    const uint32_t last_frame = shown_.back() / 6;
    button("playButton")->click();
    ASSERT_TRUE(waitShown(seen + 6));
    EXPECT_EQ(shownSince(seen).front(), last_frame * 6);
    button("playButton")->click();
}

// The pass in progress belonged to the first file; the second plays all of its own frames.
TEST_F(PlayerFixture, AFileOpenedDuringPlaybackPlaysWithItsOwnFrameCount)
{
    load("ten.csv", 60);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 3));
    load("twenty.csv", 120);
    EXPECT_FALSE(button("playButton")->isChecked());
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !button("playButton")->isChecked(); }, 5000));
    std::vector<uint32_t> expected(120);
    std::iota(expected.begin(), expected.end(), 0u);
    EXPECT_EQ(shownSince(mark), expected);
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QStringLiteral("20"));
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

// A pass of the long file takes 10 s; closing must not wait for it, nor for a load.
TEST_F(PlayerFixture, ClosingIsPromptWhateverThePlayerDoes)
{
    const struct {
        const char* what;
        uint32_t blocks;
        int play_ms; // -1: close while the file loads
    } cases[] = {{"during playback", 6 * 200, 150}, {"at the end of playback", 6, 45}, {"while loading", 3000, -1}};
    for (const auto& c : cases) {
        newBar();
        if (c.play_ms < 0) {
            chosen_ = path("big.csv");
            ASSERT_TRUE(writeFile(chosen_, c.blocks, 600));
            button("openButton")->click();
        } else {
            load("played.csv", c.blocks);
            button("playButton")->click();
            QTest::qWait(c.play_ms);
        }
        QElapsedTimer timer;
        timer.start();
        bar_.reset();
        EXPECT_LT(timer.elapsed(), 500) << c.what;
    }
}
