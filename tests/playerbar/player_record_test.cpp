#include "player_fixture.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

namespace {

std::vector<kes_sdk::ScanBlockData> readAll(const QString& path)
{
    return kes_csv::loadBlocks(path).blocks;
}

qint64 sizeOf(const QString& path)
{
    return QFileInfo(path).size();
}

} // namespace

class RecordFixture : public PlayerFixture {
protected:
    void startRecording()
    {
        logic_->connected_ = true;
        logic_->firmware_version_ = QStringLiteral("T1.0");
        bar_->receive_status(1);
        button("recordButton")->click();
        ASSERT_TRUE(button("recordButton")->isChecked());
        record_path_ = bar_->recordPath();
    }

    void TearDown() override
    {
        PlayerFixture::TearDown();
        if (!record_path_.isEmpty())
            QFile::remove(record_path_);
    }

    QString record_path_;
};

TEST_F(RecordFixture, StartWithoutLidarRecordsNothing)
{
    bar_->receive_status(1);
    button("recordButton")->click();
    EXPECT_FALSE(button("recordButton")->isChecked());
    EXPECT_TRUE(bar_->recordPath().isEmpty());
    EXPECT_TRUE(completions_.empty());
}

TEST_F(RecordFixture, RecordedBlocksReachTheFileInOrder)
{
    startRecording();
    EXPECT_EQ(button("recordButton")->text(), QStringLiteral("停止"));
    EXPECT_TRUE(QFileInfo(record_path_).fileName().startsWith(QStringLiteral("T1.0_")));
    for (uint32_t i = 0; i < 30; ++i)
        emit logic_->sendBlock(makeBlock(i));
    answer_ = 0;
    button("recordButton")->click();
    ASSERT_EQ(completions_.size(), 1u);
    EXPECT_EQ(completions_[0], QStringLiteral("录制完成，文件保存为:") + record_path_);
    ASSERT_EQ(folders_.size(), 1u);
    EXPECT_EQ(folders_[0], QFileInfo(record_path_).absolutePath());
    std::vector<uint32_t> expected;
    for (uint32_t i = 0; i < 30; ++i)
        expected.push_back(i);
    EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(record_path_).size() == 30; }, 5000));
    EXPECT_EQ(stampsOf(readAll(record_path_)), expected);
}

TEST_F(RecordFixture, LostConnectionStopsWithoutBox)
{
    startRecording();
    emit logic_->sendBlock(makeBlock(0));
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_FALSE(button("recordButton")->isChecked());
    EXPECT_EQ(button("recordButton")->text(), QStringLiteral("录制"));
    EXPECT_TRUE(completions_.empty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(record_path_).size() == 1; }, 5000));
}

TEST_F(RecordFixture, ClosingDuringRecordingKeepsQueuedBlocks)
{
    startRecording();
    for (uint32_t i = 0; i < 200; ++i)
        emit logic_->sendBlock(makeBlock(i, 400));
    bar_.reset();
    EXPECT_EQ(readAll(record_path_).size(), 200u);
}

TEST_F(RecordFixture, InterceptWritesTheShownFrameBesideTheFile)
{
    load("twelve.csv", 12);
    button("endFrameButton")->click();
    button("saveButton")->click();
    const QString target = path("twelve_block_position_2.csv");
    ASSERT_EQ(completions_.size(), 1u);
    EXPECT_EQ(completions_[0], QStringLiteral("截取完成，文件保存为:") + QFileInfo(target).absoluteFilePath());
    EXPECT_EQ(stampsOf(readAll(target)), frameStamps(1));
    button("saveButton")->click();
    std::vector<uint32_t> twice = frameStamps(1);
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(stampsOf(readAll(target)), twice);
}

TEST_F(RecordFixture, InterceptOfIncompleteFrameWritesHeaderOnly)
{
    load("five.csv", 5);
    button("saveButton")->click();
    const QString target = path("five_block_position_1.csv");
    EXPECT_TRUE(QFileInfo(target).isFile());
    EXPECT_EQ(sizeOf(target), qint64(sizeof(kes_csv::kHeaderLine)));
    EXPECT_TRUE(readAll(target).empty());
}

TEST_F(RecordFixture, InterceptWithLidarDoesNothing)
{
    load("twelve.csv", 12);
    logic_->connected_ = true;
    button("saveButton")->click();
    EXPECT_FALSE(QFileInfo(path("twelve_block_position_1.csv")).exists());
    EXPECT_TRUE(completions_.empty());
}

TEST_F(RecordFixture, InterceptFileThatCannotOpenIsReported)
{
    load("twelve.csv", 12);
    ASSERT_TRUE(QDir().mkdir(path("twelve_block_position_1.csv")));
    button("saveButton")->click();
    EXPECT_TRUE(completions_.empty());
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("截取失败")));
}

namespace {
std::mutex debug_mutex;
QStringList debug_lines; // written by the record thread

void keepDebug(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::lock_guard<std::mutex> lock(debug_mutex);
    debug_lines.append(text);
}

bool debugContains(const QString& text)
{
    std::lock_guard<std::mutex> lock(debug_mutex);
    return debug_lines.join(QLatin1Char('\n')).contains(text);
}
} // namespace

// While recording, a file that cannot be reopened holds the blocks back for longer than the
// bound after a stop; once it can be opened again they are written, none lost.
TEST_F(RecordFixture, RecordThreadKeepsRetryingWhileRecording)
{
    startRecording();
    ASSERT_TRUE(QFile::remove(record_path_));
    ASSERT_TRUE(QDir().mkdir(record_path_));
    for (uint32_t i = 0; i < 3; ++i)
        emit logic_->sendBlock(makeBlock(i));
    QTest::qWait(2500);
    ASSERT_TRUE(QDir().rmdir(record_path_));
    EXPECT_TRUE(QTest::qWaitFor([&] { return readAll(record_path_).size() == 3; }, 5000));
    button("recordButton")->click();
    EXPECT_EQ(stampsOf(readAll(record_path_)), (std::vector<uint32_t>{0, 1, 2}));
}

// A directory in place of the recording after the stop: the thread gives up within its bound
// and says how many blocks it lost.
TEST_F(RecordFixture, RecordThreadGivesUpAfterStopWhenFileIsGone)
{
    startRecording();
    ASSERT_TRUE(QFile::remove(record_path_));
    ASSERT_TRUE(QDir().mkdir(record_path_));
    for (uint32_t i = 0; i < 3; ++i)
        emit logic_->sendBlock(makeBlock(i));
    const QtMessageHandler previous = qInstallMessageHandler(keepDebug);
    QTest::qWait(50);
    button("recordButton")->click();
    const bool gave_up = QTest::qWaitFor([] { return debugContains(QStringLiteral("lost blocks: 3")); }, 5000);
    qInstallMessageHandler(previous);
    EXPECT_TRUE(gave_up);
    QDir(record_path_).removeRecursively();
}
