#include "toolbar_fixture.h"

#include <kes_toolbar/lidar_upgrade.h>

#include <QApplication>
#include <QHoverEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QToolTip>
#include <QUdpSocket>
#include <QValidator>

namespace {

QString hoverText(QWidget* label)
{
    QHoverEvent enter(QEvent::HoverEnter, QPointF(5, 5), QPointF(-1, -1));
    QApplication::sendEvent(label, &enter);
    const QString text = QToolTip::text();
    QHoverEvent leave(QEvent::HoverLeave, QPointF(-1, -1), QPointF(5, 5));
    QApplication::sendEvent(label, &leave);
    return text;
}

QStringList items(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

} // namespace

using ToolBarConnect = ToolBarFixture;

TEST_F(ToolBarConnect, IpNotFoundThenATypedAddressConnectsAndTheSwitchDisconnects)
{
    start();
    QUdpSocket unused;
    ASSERT_TRUE(unused.bind(QHostAddress(QHostAddress::LocalHost), 0));
    logic_->ip_addr_ = QStringLiteral("127.0.0.9");
    logic_->lidar_port_ = unused.localPort();
    EXPECT_EQ(hoverText(child<QLabel>("stateLabel")), QStringLiteral("未连接"));

    script_.expect(QStringLiteral("雷达IP未找到"));
    clickSwitch();
    ASSERT_EQ(script_.shown.size(), 1u);
    EXPECT_EQ(script_.shown[0].parent, bar_.get());
    EXPECT_EQ(ipEdit()->text(), QStringLiteral("127.0.0.9"));
    EXPECT_TRUE(ipEdit()->isEnabled() && !ipEdit()->isReadOnly());
    QTest::qWait(100);
    EXPECT_FALSE(unused.hasPendingDatagrams()) << "no connection may be attempted";

    logic_->lidar_port_ = sim_->port();
    ipEdit()->clear();
    QTest::keyClicks(ipEdit(), QStringLiteral("127.0.0.1"));
    clickSwitch();
    EXPECT_FALSE(switchButton()->isEnabled());
    ASSERT_TRUE(waitEnabled("switchButton"));
    EXPECT_TRUE(logic_->connected_);
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/connect.png"));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state_connect.png"));
    EXPECT_EQ(child<QLabel>("firmware_label")->text(), QStringLiteral("A1.0.7"));
    EXPECT_EQ(child<QLabel>("hardware_label")->text(), QStringLiteral("H2.1"));
    EXPECT_TRUE(child<QCheckBox>("checkBox")->isChecked());
    EXPECT_TRUE(waitEnabled("horizontalSlider")) << "enabled again once the device's level is sent";
    EXPECT_EQ(child<QComboBox>("comboBox")->currentText(), QString::number(sim_->snapshot().scan_frequency_hz));
    EXPECT_TRUE(sim_->snapshot().stream_on);
    EXPECT_EQ(hoverText(child<QLabel>("stateLabel")), QStringLiteral("连接成功"));

    clickSwitch();
    EXPECT_TRUE(iconShows(switchButton()->icon(), ":/Image/disconnect.png"));
    EXPECT_FALSE(child<QCheckBox>("checkBox")->isEnabled() || child<QCheckBox>("checkBox")->isChecked());
    EXPECT_TRUE(!ipEdit()->isEnabled() && ipEdit()->isReadOnly());
    ASSERT_TRUE(states_->waitFor(QStringLiteral("未连接")));
    EXPECT_TRUE(waitEnabled("switchButton"));
    EXPECT_EQ(child<QLabel>("firmware_label")->text(), QStringLiteral("A1.0.7"));
}

TEST_F(ToolBarConnect, TheLanguageSwitchRefillsTheBoxesAndDropsTheIndicator)
{
    start();
    connectDiscovered();
    QSignalSpy language(bar_.get(), &LidarToolBar::sig_language);
    QSignalSpy modes(logic_.get(), &LidarLogic::sendColorMode);
    auto* direction = child<QComboBox>("directionBox");
    direction->setCurrentIndex(1);
    child<QComboBox>("mode_comBox")->setCurrentIndex(2);

    click("toolButton_language");
    EXPECT_EQ(language.takeLast().at(0).toInt(), 0);
    EXPECT_TRUE(logic_->language_);
    EXPECT_EQ(items(direction), (QStringList{"CCW", "CW"}));
    EXPECT_EQ(logic_->scan_direction_.load(), 0);
    ASSERT_GE(modes.size(), 3);
    EXPECT_EQ(modes.at(modes.size() - 2).at(0).toUInt(), 0xFFFFFFFFu);
    EXPECT_EQ(modes.last().at(0).toUInt(), 0u);
    EXPECT_TRUE(iconShows(child<QToolButton>("toolButton_language")->icon(), ":/Image/chinese.png"));
    EXPECT_TRUE(labelShows(child<QLabel>("stateLabel"), ":/Image/state.png"));
    EXPECT_TRUE(logic_->connected_) << "the connection itself is untouched";

    clickSwitch();
    ASSERT_TRUE(states_->waitFor(QStringLiteral("Disconnect")));
    EXPECT_EQ(hoverText(child<QLabel>("stateLabel")), QStringLiteral("未连接"));

    click("toolButton_language");
    EXPECT_EQ(language.takeLast().at(0).toInt(), 1);
    EXPECT_FALSE(logic_->language_);
    EXPECT_EQ(items(direction), (QStringList{"逆时针", "顺时针"}));
}

TEST_F(ToolBarConnect, BuiltStateValidatorsFrequencyEchoAndTheUpgradeWindow)
{
    start();
    EXPECT_FALSE(child<QPushButton>("updateButton")->isVisible());
    int pos = 0;
    const auto valid = [this, &pos](const char* edit, QString text) {
        return child<QLineEdit>(edit)->validator()->validate(text, pos);
    };
    EXPECT_EQ(valid("lineEdit", "192.168.1.100"), QValidator::Acceptable);
    EXPECT_EQ(valid("lineEdit", "1.2.3.4.5"), QValidator::Invalid);
    EXPECT_EQ(valid("lineEdit", "1.2.3.256"), QValidator::Invalid);
    EXPECT_EQ(valid("filterEdit", "12"), QValidator::Invalid);

    auto* frequency = child<QComboBox>("comboBox");
    EXPECT_EQ(frequency->currentText(), QStringLiteral("20"));
    emit logic_->sendScanFrequency(12);
    EXPECT_EQ(frequency->currentText(), QStringLiteral("20"));
    emit logic_->sendScanFrequency(25);
    EXPECT_EQ(logic_->scan_frequency_.load(), 25);

    click("pushButton");
    child<QSlider>("horizontalSlider")->setValue(4);
    emit logic_->sendState(QStringLiteral("Malfunction, please re-upgrade lidar"));
    QTest::qWait(100);
    EXPECT_TRUE(child<QPushButton>("pushButton")->isEnabled());
    EXPECT_TRUE(sim_->snapshot().requests.empty()) << "nothing reaches the device while disconnected";

    const auto upgradeWindow = [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<Lidar_Upgrade*>(widget))
                return QPointer<Lidar_Upgrade>(window);
        return QPointer<Lidar_Upgrade>();
    };
    bar_->update_clicked();
    const QPointer<Lidar_Upgrade> first = upgradeWindow();
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->testAttribute(Qt::WA_QuitOnClose));
    bar_->update_clicked();
    EXPECT_TRUE(first.isNull()) << "an idle window is replaced";
    EXPECT_TRUE(upgradeWindow());
}
