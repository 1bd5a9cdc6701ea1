#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_test/fake_mdns_server.h>
#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>
#include <kes_test/simulator.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include <functional>
#include <memory>
#include <numeric>
#include <vector>

// Block i carries time stamp i, so a received block names its place in the file.
kes_sdk::ScanBlockData makeBlock(uint32_t index, std::size_t points = 8)
{
    kes_sdk::ScanBlockData block;
    block.block_id = uint8_t(index % 6 + 1);
    block.time_stamp = index;
    block.layers.resize(1);
    for (std::size_t j = 0; j < points; ++j) {
        block.layers[0].ranges.push_back(uint16_t(100 + j + index));
        block.layers[0].intensities.push_back(uint8_t(j));
    }
    return block;
}

void writeFile(const QString& path, uint32_t blocks, std::size_t points = 8)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    kes_csv::CsvWriter writer(file);
    writer.writeHeader();
    for (uint32_t i = 0; i < blocks; ++i)
        writer.writeBlock(makeBlock(i, points), 20.0f);
    ASSERT_TRUE(writer.flush());
}

std::vector<uint32_t> counting(uint32_t from, uint32_t count)
{
    std::vector<uint32_t> values(count);
    std::iota(values.begin(), values.end(), from);
    return values;
}

std::vector<uint32_t> stampsIn(const QString& path)
{
    std::vector<uint32_t> stamps;
    for (const auto& block : kes_csv::loadBlocks(path).blocks)
        stamps.push_back(block.time_stamp);
    return stamps;
}

// The tool bar wired as the window wires it; every box scripted.
class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        newBar();
    }
    void newBar()
    {
        bar_ = std::make_unique<PlayerToolBar>();
        bar_->setLogic(logic_.get());
        QObject::connect(bar_.get(), &PlayerToolBar::sendBlock, &sink_,
                         [this](kes_sdk::ScanBlockData block) { shown_.push_back(block.time_stamp); });
        bar_->show();
    }
    void TearDown() override
    {
        bar_.reset();
        logic_->connected_ = false;
        logic_.reset();
        for (const QString& path : recordings_)
            QFile::remove(path);
    }
    template <class T>
    T* child(const char* name)
    {
        return bar_->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    void load(const char* name, uint32_t blocks, std::size_t points = 8, bool wait = true)
    {
        script_.next_file = path(name);
        writeFile(script_.next_file, blocks, points);
        QSignalSpy opened(bar_.get(), &PlayerToolBar::openFile);
        button("openButton")->click();
        ASSERT_TRUE(!wait || kes_test::waitFor([&] { return opened.count() == 1; }, 10000));
    }
    std::vector<uint32_t> shownSince(std::size_t from) const
    {
        return std::vector<uint32_t>(shown_.begin() + long(from), shown_.end());
    }
    void startRecording(const char* firmware = "T1.0")
    {
        logic_->connected_ = true;
        logic_->firmware_version_ = QString::fromLatin1(firmware);
        bar_->receive_status(1);
        button("recordButton")->click();
        ASSERT_TRUE(button("recordButton")->isChecked());
        record_path_ = bar_->recordPath();
        recordings_ << record_path_;
    }
    void send(uint32_t from, uint32_t to, std::size_t points = 8)
    {
        for (uint32_t i = from; i < to; ++i)
            emit logic_->sendBlock(makeBlock(i, points));
    }
    kes_test::PromptScript script_;
    QTemporaryDir dir_;
    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<PlayerToolBar> bar_;
    QObject sink_;
    std::vector<uint32_t> shown_;
    QString record_path_;
    QStringList recordings_;
};

// Loading shows the whole frames and the first; each button, the field and the slider then
// show the frame they name, and the three agree. Typed digits: two from ten frames (one above
// the count is clamped); none, quietly, from a file without a whole frame, whose intercept is
// the header alone, and the next file's slider starts at 0. The shown frame is appended beside
// the file, never while a lidar is connected, and a file that cannot be opened or written is
// reported. Nothing plays without a file nor records without a lidar.
TEST_F(PlayerTest, NavigationFrameFieldAndIntercept)
{
    button("playButton")->click();
    EXPECT_FALSE(button("playButton")->isChecked());
    bar_->receive_status(1);
    button("recordButton")->click();
    EXPECT_FALSE(button("recordButton")->isChecked()) << "no recording without a connected lidar";
    EXPECT_TRUE(bar_->recordPath().isEmpty());
    bar_->receive_status(0);
    load("four.csv", 26);
    EXPECT_FALSE(child<QProgressBar>("progressBar")->isVisible());
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), "/4");
    EXPECT_EQ(child<QLabel>("label")->text(), "four.csv");
    EXPECT_EQ(shown_, counting(0, 6));
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
        EXPECT_EQ(shownSince(mark), stays ? std::vector<uint32_t>{} : counting(6 * step.frame, 6)) << step.frame;
        EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), int(step.frame));
        EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), QString::number(step.frame + 1));
    }
    std::size_t mark = shown_.size();
    child<QLineEdit>("lineEdit")->setText("0");
    EXPECT_TRUE(shownSince(mark).empty()) << "there is no frame 0";
    load("ten.csv", 60);
    QLineEdit* field = child<QLineEdit>("lineEdit");
    field->clear();
    QTest::keyClicks(field, "012");
    EXPECT_EQ(field->text(), "10");
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 9);
    load("five.csv", 5);
    EXPECT_EQ(child<QLabel>("indexLabel")->text(), "/0");
    mark = shown_.size();
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
    const QString partial = path("five_block_position_1.csv");
    script_.expect("截取完成，文件保存为:" + partial);
    button("saveButton")->click();
    EXPECT_EQ(QFileInfo(partial).size(), qint64(sizeof(kes_csv::kHeaderLine)));
    load("twelve.csv", 12);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->minimum(), 0);
    EXPECT_EQ(child<QSlider>("horizontalSlider")->maximum(), 1);
    button("endFrameButton")->click();
    const QString target = path("twelve_block_position_2.csv");
    for (int pass = 0; pass < 2; ++pass) {
        script_.expect("截取完成，文件保存为:" + QFileInfo(target).absoluteFilePath(), pass);
        button("saveButton")->click();
    }
    EXPECT_EQ(script_.folders, QStringList{QFileInfo(target).absolutePath()}) << "only the first button opens it";
    std::vector<uint32_t> twice = counting(6, 6);
    twice.insert(twice.end(), twice.begin(), twice.end());
    EXPECT_EQ(stampsIn(target), twice);
    logic_->connected_ = true;
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(target), twice) << "nothing is cut out while a lidar is connected";
    script_.expect("请断开雷达与上位机连接后，再播放点云文件");
    button("openButton")->click();
    bar_->receive_status(1);
    EXPECT_FALSE(button("playButton")->isEnabled());
    EXPECT_TRUE(button("recordButton")->isEnabled());
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_TRUE(button("playButton")->isEnabled());
    EXPECT_FALSE(button("recordButton")->isEnabled());
    const QString blocked = path("twelve_block_position_1.csv");
    button("preFrameButton")->click();
    ASSERT_TRUE(QDir().mkdir(blocked));
    script_.expect("截取失败，无法打开文件:" + blocked);
    button("saveButton")->click();
    ASSERT_TRUE(QDir().rmdir(blocked));
    ASSERT_TRUE(QFile::link("/dev/full", blocked));
    script_.expect("截取失败，无法写入文件:" + blocked);
    button("saveButton")->click();
    // Any language but Chinese is English.
    for (const auto& [language, open] : {std::pair{0, "Open"}, {7, "Open"}, {1, "打开"}}) {
        bar_->setLanguage(language);
        EXPECT_EQ(button("openButton")->text(), QString::fromUtf8(open)) << language;
    }
}

// A pause stops within a frame and leaves the view still; playing on starts with the frame
// shown. A pass of the long file takes 6 s: an intercept must neither wait for it nor take
// another frame, and connecting stops it. A file opened meanwhile plays all of its own frames;
// after the pass the view, the slider, the frame field and an intercept agree on the last frame.
TEST_F(PlayerTest, PauseResumeANewFileDuringPlaybackAndThePassStaysOnTheLastFrame)
{
    const auto waitIdle = [this] {
        return kes_test::waitFor([this] { return !button("playButton")->isChecked(); });
    };
    const auto staysStill = [this](int ms) { // nothing more once what was on its way has come
        QTest::qWait(ms);
        const std::size_t seen = shown_.size();
        QTest::qWait(ms);
        return shown_.size() == seen;
    };
    load("long.csv", 6 * 120);
    button("playButton")->click();
    ASSERT_TRUE(kes_test::waitFor([&] { return shown_.size() >= 6 * 3; }));
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), "播放");
    ASSERT_TRUE(staysStill(120));
    const std::size_t seen = shown_.size();
    ASSERT_EQ(seen % 6, 0u);
    const uint32_t last_frame = shown_.back() / 6;
    button("playButton")->click();
    ASSERT_TRUE(kes_test::waitFor([&] { return shown_.size() >= seen + 6; }));
    EXPECT_EQ(shownSince(seen).front(), last_frame * 6);
    // The view repaints on a frame's sixth block, so the screen shows the last complete frame.
    const uint32_t on_screen = shown_[shown_.size() / 6 * 6 - 1] / 6;
    const QString target = path("long_block_position_%1.csv").arg(on_screen + 1);
    script_.expect("截取完成，文件保存为:" + target);
    QElapsedTimer timer;
    timer.start();
    button("saveButton")->click();
    EXPECT_LT(timer.elapsed(), kes_test::scaled(500));
    EXPECT_EQ(stampsIn(target), counting(6 * on_screen, 6));
    logic_->connected_ = true;
    bar_->receive_status(1);
    ASSERT_TRUE(waitIdle()) << "connecting stops playback";
    EXPECT_TRUE(staysStill(150));
    logic_->connected_ = false;
    bar_->receive_status(0);
    button("playButton")->click();
    ASSERT_TRUE(button("playButton")->isChecked());
    load("twenty.csv", 120);
    EXPECT_FALSE(button("playButton")->isChecked());
    const std::size_t mark = shown_.size();
    button("playButton")->click();
    EXPECT_EQ(button("playButton")->text(), "暂停");
    EXPECT_FALSE(child<QSlider>("horizontalSlider")->isEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shownSince(mark), counting(0, 120));
    EXPECT_EQ(button("playButton")->text(), "播放");
    EXPECT_TRUE(child<QSlider>("horizontalSlider")->isEnabled());
    EXPECT_EQ(child<QSlider>("horizontalSlider")->value(), 19);
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), "20");
    const std::size_t after = shown_.size();
    button("nextFrameButton")->click();
    EXPECT_EQ(shown_.size(), after) << "already on the last frame";
    script_.expect("截取完成，文件保存为:" + path("twenty_block_position_20.csv"));
    button("saveButton")->click();
    EXPECT_EQ(stampsIn(path("twenty_block_position_20.csv")), counting(6 * 19, 6));
    button("preFrameButton")->click();
    EXPECT_EQ(shownSince(after), counting(6 * 18, 6));
}

// A pass of the long file takes 10 s; closing must not wait for it, nor for a load (which
// shows its progress).
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
        } else {
            EXPECT_TRUE(kes_test::waitFor([&] { return child<QProgressBar>("progressBar")->isVisible(); }));
        }
        QElapsedTimer timer;
        timer.start();
        bar_.reset();
        EXPECT_LT(timer.elapsed(), kes_test::scaled(500)) << c.what;
    }
}

// Every write to `path` fails with "no space left on device" until the returned restore
// puts the file back.
std::function<bool()> fillDisk(const QString& path)
{
    const QString kept = path + ".kept";
    EXPECT_TRUE(QFile::rename(path, kept) && QFile::link("/dev/full", path)) << path.toStdString();
    return [=] { return QFile::remove(path) && QFile::rename(kept, path); };
}

// While recording, blocks the disk refuses wait and reach the file once it takes them again;
// those still refused when the drain gives up are counted in a warning, not a completion box.
// Then the connection drops (which stops without a box) while the disk refuses the last blocks;
// a new recording at once must neither hang on the draining one nor share its file, and
// closing during it keeps what is queued.
TEST_F(PlayerTest, BlocksThatDoNotReachTheFileAreRetriedReportedAndHandedOverOnARestart)
{
    startRecording();
    script_.expect("录制完成，文件保存为:" + record_path_);
    button("recordButton")->click();
    EXPECT_TRUE(script_.folders.isEmpty()) << "the second button only closes the box";
    startRecording();
    auto restore = fillDisk(record_path_);
    send(0, 3);
    QTest::qWait(2500); // longer than the drain is given after a stop
    ASSERT_TRUE(restore());
    EXPECT_TRUE(kes_test::waitFor([&] { return stampsIn(record_path_).size() == 3; }));
    restore = fillDisk(record_path_);
    send(3, 5);
    script_.expect("录制未完成，2个数据块未能写入文件:" + record_path_);
    button("recordButton")->click();
    ASSERT_TRUE(restore());
    EXPECT_EQ(stampsIn(record_path_), counting(0, 3));
    startRecording("T2.0");
    restore = fillDisk(record_path_);
    send(5, 8);
    logic_->connected_ = false;
    bar_->receive_status(0);
    EXPECT_FALSE(button("recordButton")->isChecked());
    EXPECT_EQ(button("recordButton")->text(), "录制");
    QElapsedTimer timer;
    timer.start();
    startRecording("T3.0");
    EXPECT_LT(timer.elapsed(), kes_test::scaled(2000));
    send(8, 208, 400);
    bar_.reset();
    EXPECT_EQ(stampsIn(record_path_), counting(8, 200)) << "closing keeps the queued blocks";
    EXPECT_TRUE(restore());
}

// A live simulator at 30 Hz over loopback: the file keeps pace with the stream, never a
// second behind, and ends up holding every block LidarLogic emitted, in order. The box comes
// once the file is complete; its first button opens the file's folder.
TEST_F(PlayerTest, RecordingAtThirtyHertzKeepsUpWithTheStream)
{
    const auto sim = kes_test::startSimulator();
    logic_->ip_addr_ = "127.0.0.1";
    logic_->lidar_port_ = sim->port();
    ASSERT_TRUE(logic_->connectLidar());
    logic_->scan_frequency_ = 30;
    ASSERT_TRUE(logic_->applyScanFrequency());
    ASSERT_TRUE(kes_test::waitFor([&] { return sim->snapshot().active_frequency_hz == 30; }, 3000));
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
    EXPECT_EQ(button("recordButton")->text(), "停止");
    EXPECT_TRUE(QFileInfo(record_path_).fileName().startsWith("T1.0_"));
    std::size_t worst_lag = 0;
    for (int second = 0; second < 8; ++second) {
        QTest::qWait(1000);
        worst_lag = std::max(worst_lag, emitted.size() - std::min(emitted.size(), keysIn(record_path_).size()));
    }
    script_.expect("录制完成，文件保存为:" + record_path_, 0);
    button("recordButton")->click();
    EXPECT_EQ(script_.folders, QStringList{QFileInfo(record_path_).absolutePath()});
    const std::size_t stopped = emitted.size(); // blocks that come later are no part of the file
    EXPECT_TRUE(kes_test::waitFor([&] { return keysIn(record_path_).size() >= stopped; }));
    logic_->disconnectLidar();
    emitted.resize(stopped);
    EXPECT_GE(stopped, 6u * 30 * 7) << "about 30 revolutions a second";
    EXPECT_LE(worst_lag, 6u * 30);
    EXPECT_EQ(keysIn(record_path_), emitted);
}
