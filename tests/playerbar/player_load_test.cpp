#include "player_fixture.h"

#include <QRegularExpressionValidator>

TEST_F(PlayerFixture, LoadingShowsFrameCountAndFirstFrame)
{
    load("thirteen.csv", 13);
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), QStringLiteral("/2"));
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QStringLiteral("1"));
    EXPECT_EQ(child<QLabel>("label")->text(), QStringLiteral("thirteen.csv"));
    EXPECT_TRUE(child<QSlider>("horizontalSlider")->isEnabled());
    EXPECT_EQ(child<QSlider>("horizontalSlider")->maximum(), 1);
    EXPECT_FALSE(child<QProgressBar>("progressBar")->isVisible());
    EXPECT_EQ(shown_, frameStamps(0));
}

TEST_F(PlayerFixture, ProgressBarAppearsOnlyWhileLoading)
{
    chosen_ = path("big.csv");
    ASSERT_TRUE(writeFile(chosen_, 3000, 600));
    auto* progress = child<QProgressBar>("progressBar");
    EXPECT_FALSE(progress->isVisible());
    QSignalSpy opened(bar_.get(), &PlayerToolBar::openFile);
    button("openButton")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return progress->isVisible() || opened.count() == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return opened.count() == 1; }, 10000));
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), QStringLiteral("/500"));
}

namespace {
QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtDebugMsg)
        warnings.append(text);
}
} // namespace

// No frame: the field refuses every digit quietly, and the next file's slider starts at 0.
TEST_F(PlayerFixture, FiveBlocksLoadNoFrame)
{
    load("five.csv", 5);
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), QStringLiteral("/0"));
    button("endFrameButton")->click();
    button("nextFrameButton")->click();
    QLineEdit* field = child<QLineEdit>("lineEdit");
    field->clear();
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepWarnings);
    QTest::keyClicks(field, QStringLiteral("01"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(field->text(), QString());
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    EXPECT_TRUE(shown_.empty());
    load("twelve.csv", 12);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->minimum(), 0);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->maximum(), 1);
}

TEST_F(PlayerFixture, NavigationShowsTheChosenFrames)
{
    load("four.csv", 24);
    std::size_t mark = shown_.size();
    button("endFrameButton")->click();
    EXPECT_EQ(shownSince(mark), frameStamps(3));
    mark = shown_.size();
    button("preFrameButton")->click();
    EXPECT_EQ(shownSince(mark), frameStamps(2));
    mark = shown_.size();
    button("startFrameButton")->click();
    EXPECT_EQ(shownSince(mark), frameStamps(0));
    mark = shown_.size();
    button("nextFrameButton")->click();
    EXPECT_EQ(shownSince(mark), frameStamps(1));
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QStringLiteral("2"));
}

TEST_F(PlayerFixture, FrameFieldMovesTheSlider)
{
    load("four.csv", 24);
    auto* field = child<QLineEdit>("lineEdit");
    std::size_t mark = shown_.size();
    field->setText(QStringLiteral("3"));
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 2);
    EXPECT_EQ(shownSince(mark), frameStamps(2));
    mark = shown_.size();
    field->setText(QStringLiteral("0"));
    EXPECT_TRUE(shownSince(mark).empty());
    const auto* validator = qobject_cast<const QRegularExpressionValidator*>(field->validator());
    ASSERT_NE(validator, nullptr);
    EXPECT_EQ(validator->regularExpression().pattern(), QStringLiteral("[1-4]"));
}

TEST_F(PlayerFixture, ValidatorTakesTwoDigitsFromTenFrames)
{
    load("ten.csv", 60);
    QLineEdit* field = child<QLineEdit>("lineEdit");
    field->clear();
    QTest::keyClicks(field, QStringLiteral("012"));
    // 12 is above the count: the slider clamps it and writes the last frame back.
    EXPECT_EQ(field->text(), QStringLiteral("10"));
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 9);
}

TEST_F(PlayerFixture, RefusalsWithoutFileOrWithLidar)
{
    button("playButton")->click();
    EXPECT_FALSE(button("playButton")->isChecked());
    bar_->receive_status(1);
    button("recordButton")->click();
    EXPECT_FALSE(button("recordButton")->isChecked()) << "no recording without a connected lidar";
    EXPECT_TRUE(bar_->recordPath().isEmpty());
    logic_->connected_ = true;
    button("openButton")->click();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], QStringLiteral("请断开雷达与上位机连接后，再播放点云文件"));
    bar_->receive_status(1);
    EXPECT_FALSE(button("playButton")->isEnabled());
    EXPECT_TRUE(button("recordButton")->isEnabled());
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_TRUE(button("playButton")->isEnabled());
    EXPECT_FALSE(button("recordButton")->isEnabled());
}

TEST_F(PlayerFixture, LanguageSwitchesTexts)
{
    bar_->setLanguage(0);
    EXPECT_EQ(button("saveButton")->text(), QStringLiteral("Intercepting"));
    EXPECT_EQ(child<QLabel>("label_4")->text(), QStringLiteral("Data Frame"));
    bar_->setLanguage(7);
    EXPECT_EQ(button("openButton")->text(), QStringLiteral("Open"));
    bar_->setLanguage(1);
    EXPECT_EQ(button("openButton")->text(), QStringLiteral("打开"));
}
