#pragma once

#include <kes_test/prompt_script.h>
#include <kes_test/qt_support.h>

#include <kes_logic/lidar_logic.h>
#include <kes_sdk/command_codes.h>
#include <kes_sim/lidar_simulator.h>
#include <kes_test/fake_mdns_server.h>
#include <kes_toolbar/lidar_toolbar.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <memory>

inline bool iconShows(const QIcon& icon, const char* path)
{
    return icon.pixmap(30, 30).toImage() == QIcon(QString::fromLatin1(path)).pixmap(30, 30).toImage();
}

inline bool labelShows(const QLabel* label, const char* path)
{
    const QImage expected = QPixmap(QString::fromLatin1(path)).scaled(20, 20, Qt::IgnoreAspectRatio).toImage();
    return label->pixmap(Qt::ReturnByValue).toImage() == expected;
}

// A simulator on a free loopback port, LidarLogic aimed at it (never at its default
// address) and the tool bar wired as the main window wires it.
class ToolBarFixture : public ::testing::Test {
protected:
    void start(kes_sim::SimOptions options = {})
    {
        options.bind_address = "127.0.0.1";
        options.port = 0;
        sim_ = std::make_unique<kes_sim::LidarSimulator>(options);
        ASSERT_TRUE(sim_->start().ok());
        logic_ = std::make_unique<LidarLogic>(&mdns_);
        logic_->lidar_port_ = sim_->port();
        states_ = std::make_unique<kes_test::SignalLog>(logic_.get(), &LidarLogic::sendState);
        bar_ = std::make_unique<LidarToolBar>();
        bar_->setLogic(logic_.get());
        QObject::connect(logic_.get(), &LidarLogic::sendIP, bar_.get(), &LidarToolBar::receiveIP);
        QObject::connect(bar_.get(), &LidarToolBar::sig_language, logic_.get(), &LidarLogic::setLanguage);
        bar_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bar_.get()));
    }

    void TearDown() override
    {
        if (logic_ && logic_->connected_)
            logic_->disconnectLidar();
        bar_.reset();
        logic_.reset();
        sim_.reset();
    }

    template <class T>
    T* child(const char* name) const
    {
        T* widget = bar_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QToolButton* switchButton() const { return child<QToolButton>("switchButton"); }
    QLineEdit* ipEdit() const { return child<QLineEdit>("lineEdit"); }

    // The discovered-address road: the field is filled, shown but not editable, then the
    // switch is clicked.
    void connectDiscovered()
    {
        emit logic_->sendIP(QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(ipEdit()->isEnabled() && ipEdit()->isReadOnly());
        clickSwitch();
        ASSERT_TRUE(QTest::qWaitFor([this] { return logic_->connected_ && switchButton()->isEnabled(); }, 5000));
    }

    void clickSwitch() { QTest::mouseClick(switchButton(), Qt::LeftButton); }
    void click(const char* name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    bool waitEnabled(const char* name, int ms = 8000)
    {
        return QTest::qWaitFor([&] { return child<QWidget>(name)->isEnabled(); }, ms);
    }

    uint32_t requests(uint16_t code) const
    {
        const auto counts = sim_->snapshot().request_counts;
        const auto it = counts.find(code);
        return it == counts.end() ? 0 : it->second;
    }

    kes_test::PromptScript script_;
    kes_test::FakeMdnsServer mdns_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<LidarLogic> logic_;
    std::unique_ptr<kes_test::SignalLog> states_;
    std::unique_ptr<LidarToolBar> bar_;
};
