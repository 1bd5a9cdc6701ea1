#include "player_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <numeric>

namespace {

std::vector<uint32_t> counting(uint32_t from, uint32_t to)
{
    std::vector<uint32_t> values(to - from);
    std::iota(values.begin(), values.end(), from);
    return values;
}

// Every write to `path` fails with "no space left on device" until the returned restore
// puts the file back.
std::function<bool()> fillDisk(const QString& path)
{
    const QString kept = path + QStringLiteral(".kept");
    if (!QFile::rename(path, kept) || !QFile::link(QStringLiteral("/dev/full"), path))
        return {};
    return [=] { return QFile::remove(path) && QFile::rename(kept, path); };
}

} // namespace

class RecordFixture : public PlayerFixture {
protected:
    void startRecording(const char* firmware = "T1.0")
    {
        logic_->connected_ = true;
        logic_->firmware_version_ = QString::fromLatin1(firmware);
        bar_->receive_status(1);
        button("recordButton")->click();
        ASSERT_TRUE(button("recordButton")->isChecked());
        record_path_ = bar_->recordPath();
        paths_.push_back(record_path_);
    }

    void send(uint32_t from, uint32_t to)
    {
        for (uint32_t i = from; i < to; ++i)
            emit logic_->sendBlock(makeBlock(i));
    }

    void TearDown() override
    {
        PlayerFixture::TearDown();
        for (const QString& path : paths_)
            QFile::remove(path);
    }

    QString record_path_;
    QStringList paths_;
};

TEST_F(RecordFixture, RecordedBlocksReachTheFileInOrder)
{
    startRecording();
    EXPECT_EQ(button("recordButton")->text(), QStringLiteral("停止"));
    EXPECT_TRUE(QFileInfo(record_path_).fileName().startsWith(QStringLiteral("T1.0_")));
    send(0, 30);
    answer_ = 0;
    button("recordButton")->click();
    ASSERT_EQ(completions_.size(), 1u);
    EXPECT_EQ(completions_[0], QStringLiteral("录制完成，文件保存为:") + record_path_);
    ASSERT_EQ(folders_.size(), 1u);
    EXPECT_EQ(folders_[0], QFileInfo(record_path_).absolutePath());
    EXPECT_EQ(stampsIn(record_path_), counting(0, 30)) << "the box comes once the file is complete";
}

TEST_F(RecordFixture, ClosingDuringRecordingKeepsQueuedBlocks)
{
    startRecording();
    for (uint32_t i = 0; i < 200; ++i)
        emit logic_->sendBlock(makeBlock(i, 400));
    bar_.reset();
    EXPECT_EQ(stampsIn(record_path_), counting(0, 200));
}

// While recording, blocks the disk refuses wait and reach the file once it takes them again;
// those still refused when the drain gives up are counted in a warning, not a completion box.
TEST_F(RecordFixture, BlocksThatDoNotReachTheFileAreRetriedAndTheLossIsReported)
{
    startRecording();
    auto restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(0, 3);
    QTest::qWait(2500); // longer than the drain is given after a stop
    ASSERT_TRUE(restore());
    EXPECT_TRUE(QTest::qWaitFor([&] { return stampsIn(record_path_).size() == 3; }, 5000));

    restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(3, 5);
    button("recordButton")->click();
    ASSERT_TRUE(restore());
    EXPECT_TRUE(completions_.empty());
    EXPECT_EQ(messages_, std::vector<QString>{QStringLiteral("录制未完成，2个数据块未能写入文件:") + record_path_});
    EXPECT_EQ(stampsIn(record_path_), counting(0, 3));
}

// The connection drops (which stops without a box) while the disk refuses the last blocks; a
// new recording at once must neither hang on the draining one nor share its file.
TEST_F(RecordFixture, ANewRecordingRightAfterALostConnectionStartsPromptly)
{
    startRecording();
    const auto restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(0, 3);
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_FALSE(button("recordButton")->isChecked());
    EXPECT_EQ(button("recordButton")->text(), QStringLiteral("录制"));
    EXPECT_TRUE(completions_.empty() && messages_.empty());
    QElapsedTimer timer;
    timer.start();
    startRecording("T2.0");
    EXPECT_LT(timer.elapsed(), 2000);
    send(3, 6);
    button("recordButton")->click();
    EXPECT_EQ(stampsIn(record_path_), counting(3, 6));
    EXPECT_TRUE(restore());
}

TEST_F(RecordFixture, InterceptWritesTheShownFrameBesideTheFile)
{
    load("twelve.csv", 12);
    button("endFrameButton")->click();
    button("saveButton")->click();
    const QString target = path("twelve_block_position_2.csv");
    ASSERT_EQ(completions_.size(), 1u);
    EXPECT_EQ(completions_[0], QStringLiteral("截取完成，文件保存为:") + QFileInfo(target).absoluteFilePath());
    EXPECT_EQ(stampsIn(target), frameStamps(1));
    button("saveButton")->click();
    std::vector<uint32_t> twice = frameStamps(1);
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(stampsIn(target), twice);
    logic_->connected_ = true;
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(target), twice) << "nothing is cut out while a lidar is connected";
    EXPECT_EQ(completions_.size(), 2u);
}

// A pass of this file takes 6 s; the intercept must neither wait for it nor take another frame.
TEST_F(RecordFixture, InterceptDuringPlaybackIsPromptAndCopiesTheShownFrame)
{
    load("long.csv", 6 * 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 6));
    QElapsedTimer timer;
    timer.start();
    button("saveButton")->click();
    EXPECT_LT(timer.elapsed(), 500);
    // the view repaints on a frame's sixth block, so the screen shows the last complete frame
    const uint32_t on_screen = shown_[shown_.size() / 6 * 6 - 1] / 6;
    ASSERT_EQ(completions_.size(), 1u);
    EXPECT_EQ(stampsIn(path("long_block_position_%1.csv").arg(on_screen + 1)), frameStamps(on_screen));
    button("playButton")->click();
}

TEST_F(RecordFixture, InterceptOfIncompleteFrameWritesHeaderOnly)
{
    load("five.csv", 5);
    button("saveButton")->click();
    const QString target = path("five_block_position_1.csv");
    EXPECT_TRUE(QFileInfo(target).isFile());
    EXPECT_EQ(QFileInfo(target).size(), qint64(sizeof(kes_csv::kHeaderLine)));
    EXPECT_TRUE(stampsIn(target).empty());
}

TEST_F(RecordFixture, InterceptThatDoesNotReachTheFileIsReported)
{
    load("twelve.csv", 12);
    const QString target = path("twelve_block_position_1.csv");
    ASSERT_TRUE(QDir().mkdir(target));
    button("saveButton")->click();
    ASSERT_TRUE(QDir().rmdir(target));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), target));
    button("saveButton")->click();
    EXPECT_TRUE(completions_.empty());
    EXPECT_EQ(messages_, (std::vector<QString>{QStringLiteral("截取失败，无法打开文件:") + target,
                                               QStringLiteral("截取失败，无法写入文件:") + target}));
}
