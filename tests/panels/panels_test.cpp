#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace {

QString text(const QWidget& panel, const char* name)
{
    return panel.findChild<QLabel*>(name)->text();
}

} // namespace

// The status words a lidar reports follow the language both ways; other states stay as sent,
// and a language other than 0 and 1 changes nothing.
TEST(InfoPanel, StatusWordsFollowTheLanguage)
{
    InfoWidget info;
    info.show();
    EXPECT_EQ(text(info, "stateLabel"), "未连接");
    const std::pair<QString, QString> words[] = {{"Working", "正常运行中"},
                                                 {"Malfunction", "故障"},
                                                 {"Disconnect", "未连接"},
                                                 {"NORAML", "NORAML"},
                                                 {"升级", "升级"}};
    for (const auto& [english, chinese] : words) {
        info.setState(english);
        info.setLanguage(1);
        EXPECT_EQ(text(info, "stateLabel"), chinese);
        info.setLanguage(2);
        EXPECT_EQ(text(info, "stateLabel"), chinese);
        info.setLanguage(0);
        EXPECT_EQ(text(info, "stateLabel"), english);
    }
    EXPECT_EQ(text(info, "label_2"), "Lidar Status:");
    EXPECT_FALSE(info.findChild<QLabel*>("stateLabel_hv")->isVisible()) << "the voltage row stays hidden";
    EXPECT_TRUE(info.findChild<QLabel*>("stateLabel_temp")->isVisible());
}

// The bar picture is the compiled-in ramp, red at the top to blue at the bottom; the limits
// follow the colour mode (single colour keeps them).
TEST(ColourLegend, RampAndLimitsOfTheMode)
{
    ColorLabel legend;
    for (const auto& [mode, max] :
         {std::pair{2, "Max:20m"}, {1, "Max:20m"}, {0, "Max:255"}, {1, "Max:255"}, {7, "Max:255"}}) {
        legend.setMode(uint8_t(mode));
        EXPECT_EQ(text(legend, "label_2"), max) << mode;
    }
    const QImage bar(":/Image/color.png");
    ASSERT_FALSE(bar.isNull());
    const QColor ramp[] = {{255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}};
    for (int i = 0; i < 5; ++i) {
        const QColor c(bar.pixel(10, std::min(bar.height() * i / 4, bar.height() - 1)));
        EXPECT_LE(std::abs(c.red() - ramp[i].red()) + std::abs(c.green() - ramp[i].green())
                      + std::abs(c.blue() - ramp[i].blue()),
                  12)
            << i;
    }
}
