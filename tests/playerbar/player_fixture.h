#pragma once

#include <kes_csv/csv_format.h>
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>
#include <kes_logic/lidar_logic.h>
#include <kes_player/player_prompts.h>
#include <kes_player/player_toolbar.h>
#include <kes_prompts/prompts.h>
#include <qmdnsengine/abstractserver.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <ostream>
#include <vector>

// Failures show texts, not UTF-16 bytes.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << text.toStdString();
}

class SilentMdnsServer : public QMdnsEngine::AbstractServer {
public:
    void sendMessage(const QMdnsEngine::Message&) override {}
    void sendMessageToAll(const QMdnsEngine::Message&) override {}
};

// Block i carries time stamp i, so a received block names its place in the file.
inline kes_sdk::ScanBlockData makeBlock(uint32_t index, std::size_t points = 8)
{
    kes_sdk::ScanBlockData block;
    block.block_id = uint8_t(index % 6 + 1);
    block.time_stamp = index;
    kes_sdk::ScanLayer layer;
    for (std::size_t j = 0; j < points; ++j) {
        layer.ranges.push_back(uint16_t(100 + j + index));
        layer.intensities.push_back(uint8_t(j));
    }
    block.layers.push_back(layer);
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

inline std::vector<uint32_t> stampsOf(const std::vector<kes_sdk::ScanBlockData>& blocks)
{
    std::vector<uint32_t> stamps;
    for (const auto& block : blocks)
        stamps.push_back(block.time_stamp);
    return stamps;
}

inline std::vector<uint32_t> stampsIn(const QString& path)
{
    return stampsOf(kes_csv::loadBlocks(path).blocks);
}

inline std::vector<uint32_t> frameStamps(uint32_t frame)
{
    std::vector<uint32_t> stamps;
    for (uint32_t i = 0; i < 6; ++i)
        stamps.push_back(frame * 6 + i);
    return stamps;
}

// The tool bar wired as the window wires it; prompts answered and remembered.
class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        newBar();
        saved_ = prompts();
        saved_player_ = playerPrompts();
        prompts().message = [this](const Prompt& prompt) { messages_.push_back(prompt.text); };
        prompts().openFile = [this](const FileQuery&) { return chosen_; };
        playerPrompts().completion = [this](QWidget*, const QString& text) {
            completions_.push_back(text);
            return answer_;
        };
        playerPrompts().openFolder = [this](const QString& folder) { folders_.push_back(folder); };
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
        prompts() = saved_;
        playerPrompts() = saved_player_;
    }

    template <class T>
    T* child(const char* name)
    {
        return bar_->findChild<T*>(QString::fromLatin1(name));
    }
    QToolButton* button(const char* name) { return child<QToolButton>(name); }

    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    // Opens a file of `blocks` blocks and waits until it is loaded.
    void load(const char* name, uint32_t blocks)
    {
        chosen_ = path(name);
        ASSERT_TRUE(writeFile(chosen_, blocks));
        QSignalSpy opened(bar_.get(), &PlayerToolBar::openFile);
        button("openButton")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return opened.count() == 1; }, 5000));
    }

    bool waitShown(std::size_t count, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return shown_.size() >= count; }, ms);
    }

    std::vector<uint32_t> shownSince(std::size_t from) const
    {
        return std::vector<uint32_t>(shown_.begin() + long(from), shown_.end());
    }

    QTemporaryDir dir_;
    SilentMdnsServer mdns_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<PlayerToolBar> bar_;
    QObject sink_;
    std::vector<uint32_t> shown_;
    QString chosen_;
    std::vector<QString> messages_;
    std::vector<QString> completions_;
    std::vector<QString> folders_;
    int answer_ = 1;
    Prompts saved_;
    PlayerPrompts saved_player_;
};
