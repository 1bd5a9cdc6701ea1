#include "player_fixture.h"

#include <QElapsedTimer>

// After the pass the view, the slider, the frame field and an intercept agree on the last frame.
TEST_F(PlayerTest, PlayRunsToTheEndAndStaysOnTheLastFrame)
{
    load("four.csv", 24);
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), "暂停");
    EXPECT_FALSE(child<QSlider>("horizontalSlider")->isEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shownSince(mark), counting(0, 24));
    EXPECT_EQ(button("playButton")->text(), "播放");
    EXPECT_TRUE(child<QSlider>("horizontalSlider")->isEnabled());
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 3);
    EXPECT_EQ(text("lineEdit"), "4");
    const std::size_t after = shown_.size();
    button("nextFrameButton")->click();
    EXPECT_EQ(shown_.size(), after) << "already on the last frame";
    script_.expect("截取完成，文件保存为:" + path("four_block_position_4.csv"));
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(path("four_block_position_4.csv")), frameStamps(3));
    button("preFrameButton")->click();
    EXPECT_EQ(shownSince(after), frameStamps(2));
}

// A pause stops within a frame and leaves the view still; playing on starts with the frame
// shown. A file opened meanwhile plays all of its own frames.
TEST_F(PlayerTest, PauseResumeAndANewFileDuringPlayback)
{
    load("ten.csv", 60);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 3));
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), "播放");
    QTest::qWait(120);
    const std::size_t seen = shown_.size();
    QTest::qWait(120);
    ASSERT_EQ(shown_.size(), seen);
    ASSERT_EQ(seen % 6, 0u);
    const uint32_t last_frame = shown_.back() / 6;
    button("playButton")->click();
    ASSERT_TRUE(waitShown(seen + 6));
    EXPECT_EQ(shownSince(seen).front(), last_frame * 6);

    load("twenty.csv", 120);
    EXPECT_FALSE(button("playButton")->isChecked());
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shownSince(mark), counting(0, 120));
    EXPECT_EQ(text("lineEdit"), "20");
}

TEST_F(PlayerTest, ConnectingStopsPlayback)
{
    load("twenty.csv", 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 3));
    logic_->connected_ = true;
    bar_->receive_status(1);
    ASSERT_TRUE(waitIdle());
    QTest::qWait(150);
    const std::size_t seen = shown_.size();
    QTest::qWait(150);
    EXPECT_EQ(shown_.size(), seen);
}

// A pass of the long file takes 10 s; closing must not wait for it, nor for a load.
TEST_F(PlayerTest, ClosingIsPromptWhateverThePlayerDoes)
{
    const struct {
        const char* what;
        uint32_t blocks;
        int play_ms; // -1: close while the file loads
    } cases[] = {{"during playback", 6 * 200, 150}, {"at the end of playback", 6, 45}, {"while loading", 3000, -1}};
    for (const auto& c : cases) {
        newBar();
        load("played.csv", c.blocks, c.play_ms < 0 ? 600 : 8, c.play_ms >= 0);
        if (c.play_ms >= 0) {
            button("playButton")->click();
            QTest::qWait(c.play_ms);
        }
        QElapsedTimer timer;
        timer.start();
        bar_.reset();
        EXPECT_LT(timer.elapsed(), kes_test::scaled(500)) << c.what;
    }
}
