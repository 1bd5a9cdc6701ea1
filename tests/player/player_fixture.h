#pragma once

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_toolbar.h>
#include <kes_test/fake_mdns_server.h>
#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>
#include <numeric>
#include <vector>

// Block i carries time stamp i, so a received block names its place in the file.
inline kes_sdk::ScanBlockData makeBlock(uint32_t index, std::size_t points = 8)
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

inline bool writeFile(const QString& path, uint32_t blocks, std::size_t points = 8)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    kes_csv::CsvWriter writer(file);
    writer.writeHeader();
    for (uint32_t i = 0; i < blocks; ++i)
        writer.writeBlock(makeBlock(i, points), 20.0f);
    return writer.flush();
}

inline std::vector<uint32_t> counting(uint32_t from, uint32_t to)
{
    std::vector<uint32_t> values(to - from);
    std::iota(values.begin(), values.end(), from);
    return values;
}

inline std::vector<uint32_t> frameStamps(uint32_t frame)
{
    return counting(frame * 6, frame * 6 + 6);
}

inline std::vector<uint32_t> stampsIn(const QString& path)
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
    }

    template <class T>
    T* child(const char* name)
    {
        return bar_->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }
    QString text(const char* name) { return child<QLineEdit>(name)->text(); }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // Opens a file of `blocks` blocks and, unless told otherwise, waits until it is loaded.
    void load(const char* name, uint32_t blocks, std::size_t points = 8, bool wait = true)
    {
        script_.next_file = path(name);
        ASSERT_TRUE(writeFile(script_.next_file, blocks, points));
        QSignalSpy opened(bar_.get(), &PlayerToolBar::openFile);
        button("openButton")->click();
        ASSERT_TRUE(!wait || kes_test::waitFor([&] { return opened.count() == 1; }, 10000));
    }

    bool waitShown(std::size_t count)
    {
        return kes_test::waitFor([&] { return shown_.size() >= count; });
    }
    bool waitIdle()
    {
        return kes_test::waitFor([&] { return !button("playButton")->isChecked(); });
    }
    std::vector<uint32_t> shownSince(std::size_t from) const
    {
        return std::vector<uint32_t>(shown_.begin() + long(from), shown_.end());
    }

    kes_test::PromptScript script_;
    QTemporaryDir dir_;
    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<PlayerToolBar> bar_;
    QObject sink_;
    std::vector<uint32_t> shown_;
};
