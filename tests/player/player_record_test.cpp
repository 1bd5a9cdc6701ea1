#include "player_fixture.h"
#include <kes_sim/lidar_simulator.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <functional>

namespace {

// Every write to `path` fails with "no space left on device" until the returned restore
// puts the file back.
std::function<bool()> fillDisk(const QString& path)
{
    const QString kept = path + ".kept";
    if (!QFile::rename(path, kept) || !QFile::link("/dev/full", path))
        return {};
    return [=] { return QFile::remove(path) && QFile::rename(kept, path); };
}

} // namespace

class RecordTest : public PlayerTest {
protected:
    void startRecording(const char* firmware = "T1.0")
    {
        logic_->connected_ = true;
        logic_->firmware_version_ = QString::fromLatin1(firmware);
        bar_->receive_status(1);
        button("recordButton")->click();
        ASSERT_TRUE(button("recordButton")->isChecked());
        record_path_ = bar_->recordPath();
        paths_ << record_path_;
    }

    void send(uint32_t from, uint32_t to, std::size_t points = 8)
    {
        for (uint32_t i = from; i < to; ++i)
            emit logic_->sendBlock(makeBlock(i, points));
    }

    void stopRecording(int answer = 1)
    {
        script_.expect("录制完成，文件保存为:" + record_path_, answer);
        button("recordButton")->click();
    }

    void TearDown() override
    {
        PlayerTest::TearDown();
        for (const QString& path : paths_)
            QFile::remove(path);
    }

    QString record_path_;
    QStringList paths_;
};

// The box comes once the file is complete; its first button opens the file's folder.
TEST_F(RecordTest, RecordedBlocksReachTheFileInOrder)
{
    startRecording();
    EXPECT_EQ(button("recordButton")->text(), "停止");
    EXPECT_TRUE(QFileInfo(record_path_).fileName().startsWith("T1.0_"));
    send(0, 30);
    stopRecording(0);
    EXPECT_EQ(script_.folders, QStringList{QFileInfo(record_path_).absolutePath()});
    EXPECT_EQ(stampsIn(record_path_), counting(0, 30));
}

TEST_F(RecordTest, ClosingDuringRecordingKeepsQueuedBlocks)
{
    startRecording();
    send(0, 200, 400);
    bar_.reset();
    EXPECT_EQ(stampsIn(record_path_), counting(0, 200));
}

// While recording, blocks the disk refuses wait and reach the file once it takes them again;
// those still refused when the drain gives up are counted in a warning, not a completion box.
TEST_F(RecordTest, BlocksThatDoNotReachTheFileAreRetriedAndTheLossIsReported)
{
    startRecording();
    auto restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(0, 3);
    QTest::qWait(2500); // longer than the drain is given after a stop
    ASSERT_TRUE(restore());
    EXPECT_TRUE(kes_test::waitFor([&] { return stampsIn(record_path_).size() == 3; }));

    restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(3, 5);
    script_.expect("录制未完成，2个数据块未能写入文件:" + record_path_);
    button("recordButton")->click();
    ASSERT_TRUE(restore());
    EXPECT_EQ(stampsIn(record_path_), counting(0, 3));
}

// The connection drops (which stops without a box) while the disk refuses the last blocks; a
// new recording at once must neither hang on the draining one nor share its file.
TEST_F(RecordTest, ANewRecordingRightAfterALostConnectionStartsPromptly)
{
    startRecording();
    const auto restore = fillDisk(record_path_);
    ASSERT_TRUE(restore);
    send(0, 3);
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_FALSE(button("recordButton")->isChecked());
    EXPECT_EQ(button("recordButton")->text(), "录制");
    QElapsedTimer timer;
    timer.start();
    startRecording("T2.0");
    EXPECT_LT(timer.elapsed(), kes_test::scaled(2000));
    send(3, 6);
    stopRecording();
    EXPECT_EQ(stampsIn(record_path_), counting(3, 6));
    EXPECT_TRUE(restore());
}

// The shown frame is appended beside the file, never while a lidar is connected; a frame the
// file does not complete gives the header alone.
TEST_F(RecordTest, InterceptAppendsTheShownFrameBesideTheFile)
{
    load("twelve.csv", 12);
    button("endFrameButton")->click();
    const QString target = path("twelve_block_position_2.csv");
    for (int pass = 0; pass < 2; ++pass) {
        script_.expect("截取完成，文件保存为:" + QFileInfo(target).absoluteFilePath());
        button("saveButton")->click();
    }
    std::vector<uint32_t> twice = frameStamps(1);
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(stampsIn(target), twice);
    logic_->connected_ = true;
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(target), twice) << "nothing is cut out while a lidar is connected";
    logic_->connected_ = false;

    load("five.csv", 5);
    const QString partial = path("five_block_position_1.csv");
    script_.expect("截取完成，文件保存为:" + partial);
    button("saveButton")->click();
    EXPECT_EQ(QFileInfo(partial).size(), qint64(sizeof(kes_csv::kHeaderLine)));
}

// A pass of this file takes 6 s; the intercept must neither wait for it nor take another frame.
TEST_F(RecordTest, InterceptDuringPlaybackIsPromptAndCopiesTheShownFrame)
{
    load("long.csv", 6 * 120);
    button("playButton")->click();
    ASSERT_TRUE(waitShown(6 * 6));
    // The view repaints on a frame's sixth block, so the screen shows the last complete frame.
    const uint32_t on_screen = shown_[shown_.size() / 6 * 6 - 1] / 6;
    const QString target = path("long_block_position_%1.csv").arg(on_screen + 1);
    script_.expect("截取完成，文件保存为:" + target);
    QElapsedTimer timer;
    timer.start();
    button("saveButton")->click();
    EXPECT_LT(timer.elapsed(), kes_test::scaled(500));
    EXPECT_EQ(stampsIn(target), frameStamps(on_screen));
    button("playButton")->click();
}

TEST_F(RecordTest, InterceptThatDoesNotReachTheFileIsReported)
{
    load("twelve.csv", 12);
    const QString target = path("twelve_block_position_1.csv");
    ASSERT_TRUE(QDir().mkdir(target));
    script_.expect("截取失败，无法打开文件:" + target);
    button("saveButton")->click();
    ASSERT_TRUE(QDir().rmdir(target));
    ASSERT_TRUE(QFile::link("/dev/full", target));
    script_.expect("截取失败，无法写入文件:" + target);
    button("saveButton")->click();
}

// A live simulator at 30 Hz over loopback: the file keeps pace with the stream, never a
// second behind, and ends up holding every block LidarLogic emitted, in order.
TEST_F(RecordTest, RecordingAtThirtyHertzKeepsUpWithTheStream)
{
    kes_sim::SimOptions options;
    options.port = 0;
    kes_sim::LidarSimulator sim(options);
    ASSERT_TRUE(sim.start().ok());
    logic_->ip_addr_ = "127.0.0.1";
    logic_->lidar_port_ = sim.port();
    ASSERT_TRUE(logic_->connectLidar());
    logic_->scan_frequency_ = 30;
    ASSERT_TRUE(logic_->applyScanFrequency());
    ASSERT_TRUE(kes_test::waitFor([&] { return sim.snapshot().active_frequency_hz == 30; }, 3000));
    using Key = std::pair<uint32_t, int>;
    const auto keysIn = [](const QString& file) {
        std::vector<Key> keys;
        for (const auto& block : kes_csv::loadBlocks(file).blocks)
            keys.emplace_back(block.time_stamp, block.block_id);
        return keys;
    };
    std::vector<Key> emitted;
    QObject::connect(logic_.get(), &LidarLogic::sendBlock, &sink_,
                     [&](kes_sdk::ScanBlockData block) { emitted.emplace_back(block.time_stamp, block.block_id); });
    startRecording();
    std::size_t worst_lag = 0;
    for (int second = 0; second < 8; ++second) {
        QTest::qWait(1000);
        worst_lag = std::max(worst_lag, emitted.size() - std::min(emitted.size(), keysIn(record_path_).size()));
    }
    stopRecording();
    const std::size_t stopped = emitted.size(); // blocks that come later are no part of the file
    EXPECT_TRUE(kes_test::waitFor([&] { return keysIn(record_path_).size() >= stopped; }));
    logic_->disconnectLidar();
    emitted.resize(stopped);
    EXPECT_GE(stopped, 6u * 30 * 7) << "about 30 revolutions a second";
    EXPECT_LE(worst_lag, 6u * 30);
    EXPECT_EQ(keysIn(record_path_), emitted);
}
