#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_panels/reset_widget.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

QString text(const QWidget& panel, const char* name)
{
    return panel.findChild<QLabel*>(name)->text();
}

QStringList captions(const InfoWidget& info)
{
    QStringList texts;
    for (const char* name : {"label_2", "label_3", "label_4", "label_6", "label_7", "label_8", "label_5"})
        texts << text(info, name);
    return texts;
}

const QStringList kChinese{"雷达状态:", "扫描频率:", "高压:", "角度:", "强度:", "距离:", "温度:"};
const QStringList kEnglish{
    "Lidar Status:", "Scan Frequency:", "High Paulse:", "Angle:", "Intensity:", "Distance:", "Temperature:"};

} // namespace

TEST(InfoPanel, StartsChineseAndSwitchesLanguagesWithTheStatusWords)
{
    InfoWidget info;
    EXPECT_EQ(info.size(), QSize(560, 290));
    EXPECT_EQ(captions(info), kChinese);
    EXPECT_EQ(text(info, "stateLabel"), "未连接");
    for (const char* name : {"label", "angle_label", "distance_label", "intensity_label", "stateLabel_temp"})
        EXPECT_EQ(text(info, name), "--") << name;

    info.setLanguage(0);
    EXPECT_EQ(captions(info), kEnglish);
    EXPECT_EQ(text(info, "stateLabel"), "Disconnect");
    info.setLanguage(2);
    EXPECT_EQ(captions(info), kEnglish);
    EXPECT_EQ(text(info, "stateLabel"), "Disconnect");

    const std::vector<std::pair<QString, QString>> words{
        {"Working", "正常运行中"}, {"Malfunction", "故障"}, {"Disconnect", "未连接"}};
    for (const auto& [english, chinese] : words) {
        info.setState(english);
        info.setLanguage(1);
        EXPECT_EQ(text(info, "stateLabel"), chinese);
        EXPECT_EQ(captions(info), kChinese);
        info.setLanguage(0);
        EXPECT_EQ(text(info, "stateLabel"), english);
    }
    for (const QString& other : {QString("NORAML"), QString("升级"), QString("Upgrade")}) {
        info.setState(other);
        info.setLanguage(1);
        info.setLanguage(0);
        EXPECT_EQ(text(info, "stateLabel"), other);
    }
}

TEST(InfoPanel, SettersFillTheirRowsAndTheVoltageRowStaysHidden)
{
    InfoWidget info;
    info.show();
    info.setFreq("10.0Hz");
    info.setState("Working");
    info.setVoltage("12V");
    info.setTemp("40℃");
    info.setAngle("90.00°");
    info.setIntensity("128");
    info.setDistance("3.50m");
    EXPECT_EQ(text(info, "label"), "10.0Hz");
    EXPECT_EQ(text(info, "stateLabel"), "Working");
    EXPECT_EQ(text(info, "stateLabel_hv"), "12V");
    EXPECT_EQ(text(info, "stateLabel_temp"), "40℃");
    EXPECT_EQ(text(info, "angle_label"), "90.00°");
    EXPECT_EQ(text(info, "intensity_label"), "128");
    EXPECT_EQ(text(info, "distance_label"), "3.50m");
    EXPECT_FALSE(info.findChild<QLabel*>("stateLabel_hv")->isVisible());
    EXPECT_FALSE(info.findChild<QLabel*>("label_4")->isVisible());
    EXPECT_TRUE(info.findChild<QLabel*>("stateLabel_temp")->isVisible());
}

TEST(ColourLegend, FollowsTheColourMode)
{
    ColorLabel legend;
    EXPECT_EQ(text(legend, "label_2"), "Max:255");
    EXPECT_EQ(text(legend, "label_3"), "Min:0");
    legend.setMode(2);
    legend.setMode(1);
    EXPECT_EQ(text(legend, "label_2"), "Max:20m");
    EXPECT_EQ(text(legend, "label_3"), "Min:0m");
    for (uint8_t mode : {0, 7}) {
        legend.setMode(2);
        legend.setMode(mode);
        EXPECT_EQ(text(legend, "label_2"), "Max:255");
        EXPECT_EQ(text(legend, "label_3"), "Min:0");
    }
    // The bar picture is the compiled-in ramp: red at the top, blue at the bottom.
    const QImage bar(":/Image/color.png");
    ASSERT_FALSE(bar.isNull());
    const auto near = [&](int y, QColor expected) {
        const QColor c(bar.pixel(10, y));
        return std::abs(c.red() - expected.red()) + std::abs(c.green() - expected.green())
                   + std::abs(c.blue() - expected.blue())
               <= 12;
    };
    EXPECT_TRUE(near(0, QColor(255, 0, 0)));
    EXPECT_TRUE(near(bar.height() / 4, QColor(255, 255, 0)));
    EXPECT_TRUE(near(bar.height() / 2, QColor(0, 255, 0)));
    EXPECT_TRUE(near(bar.height() * 3 / 4, QColor(0, 255, 255)));
    EXPECT_TRUE(near(bar.height() - 1, QColor(0, 0, 255)));
}

TEST(ViewButtons, EachButtonEmitsItsSignalAndShowsItsIcon)
{
    ResetWidget buttons;
    buttons.show();
    QSignalSpy amplify(&buttons, &ResetWidget::amplify);
    QSignalSpy narrow(&buttons, &ResetWidget::narrow);
    QSignalSpy reset(&buttons, &ResetWidget::reset);
    const std::vector<std::pair<const char*, QSignalSpy*>> rows{
        {"ampliftyButton", &amplify}, {"narrowButton", &narrow}, {"resetButton", &reset}};
    for (const auto& [name, spy] : rows) {
        auto* button = buttons.findChild<QToolButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_FALSE(button->icon().pixmap(40, 40).isNull()) << name;
        EXPECT_EQ(button->iconSize(), QSize(40, 40));
        QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(amplify.count(), 1);
    EXPECT_EQ(narrow.count(), 1);
    EXPECT_EQ(reset.count(), 1);
}
