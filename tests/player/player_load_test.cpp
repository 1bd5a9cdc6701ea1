#include "player_fixture.h"

#include <QProgressBar>

// Loading shows the whole frames and the first; each button, the field and the slider then
// show the frame they name, and the three agree.
TEST_F(PlayerTest, NavigationShowsTheChosenFrames)
{
    load("four.csv", 26);
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), "/4");
    EXPECT_EQ(child<QLabel>("label")->text(), "four.csv");
    EXPECT_EQ(shown_, frameStamps(0));
    const struct {
        const char* button;
        const char* typed;
        uint32_t frame;
    } steps[] = {{"endFrameButton", nullptr, 3},   {"nextFrameButton", nullptr, 3}, {"preFrameButton", nullptr, 2},
                 {"startFrameButton", nullptr, 0}, {"nextFrameButton", nullptr, 1}, {nullptr, "3", 2}};
    for (const auto& step : steps) {
        const std::size_t mark = shown_.size();
        if (step.button)
            button(step.button)->click();
        else
            child<QLineEdit>("lineEdit")->setText(step.typed);
        const bool stays = mark >= 6 && shown_[mark - 1] / 6 == step.frame;
        EXPECT_EQ(shownSince(mark), stays ? std::vector<uint32_t>{} : frameStamps(step.frame)) << step.frame;
        EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), int(step.frame));
        EXPECT_EQ(text("lineEdit"), QString::number(step.frame + 1));
    }
    const std::size_t mark = shown_.size();
    child<QLineEdit>("lineEdit")->setText("0");
    EXPECT_TRUE(shownSince(mark).empty());
}

TEST_F(PlayerTest, ProgressBarAppearsOnlyWhileLoading)
{
    auto* progress = child<QProgressBar>("progressBar");
    QSignalSpy opened(bar_.get(), &PlayerToolBar::openFile);
    load("big.csv", 3000, 600, false);
    EXPECT_TRUE(kes_test::waitFor([&] { return progress->isVisible(); })) << "the file takes a while";
    EXPECT_TRUE(kes_test::waitFor([&] { return opened.count() == 1; }, 10000));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), "/500");
}

// Typed digits: two from ten frames (one above the count is clamped); none, quietly, from a
// file without a whole frame, and the next file's slider starts at 0.
TEST_F(PlayerTest, TheFrameFieldTakesOnlyFramesTheFileHas)
{
    load("ten.csv", 60);
    QLineEdit* field = child<QLineEdit>("lineEdit");
    field->clear();
    QTest::keyClicks(field, "012");
    EXPECT_EQ(field->text(), "10");
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 9);

    load("five.csv", 5);
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), "/0");
    const std::size_t mark = shown_.size();
    button("endFrameButton")->click();
    button("nextFrameButton")->click();
    field->clear();
    {
        kes_test::DebugLog log;
        QTest::keyClicks(field, "01");
        EXPECT_TRUE(log.warnings().isEmpty()) << log.warnings().join('\n').toStdString();
    }
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(shownSince(mark).empty());
    load("twelve.csv", 12);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->minimum(), 0);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->maximum(), 1);
}

TEST_F(PlayerTest, NoPlayingWithoutAFileNorWithALidarAndNoRecordingWithout)
{
    button("playButton")->click();
    EXPECT_FALSE(button("playButton")->isChecked());
    bar_->receive_status(1);
    button("recordButton")->click();
    EXPECT_FALSE(button("recordButton")->isChecked()) << "no recording without a connected lidar";
    EXPECT_TRUE(bar_->recordPath().isEmpty());
    logic_->connected_ = true;
    script_.expect("请断开雷达与上位机连接后，再播放点云文件");
    button("openButton")->click();
    bar_->receive_status(1);
    EXPECT_FALSE(button("playButton")->isEnabled());
    EXPECT_TRUE(button("recordButton")->isEnabled());
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_TRUE(button("playButton")->isEnabled());
    EXPECT_FALSE(button("recordButton")->isEnabled());
}

TEST_F(PlayerTest, AnyLanguageButChineseIsEnglish)
{
    for (const auto& [language, open] : {std::pair{0, "Open"}, {7, "Open"}, {1, "打开"}}) {
        bar_->setLanguage(language);
        EXPECT_EQ(button("openButton")->text(), QString::fromUtf8(open)) << language;
    }
}
