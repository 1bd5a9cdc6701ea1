#include "window_fixture.h"

#include "kes_panels/info_widget.h"
#include "kes_toolbar/lidar_toolbar.h"
#include "kes_view/lidargl_widget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>

#include <optional>
#include <set>

namespace {

// Room for text inside a widget and the width its text needs there, by its own font.
struct TextRoom {
    int room = 0;
    int needed = 0;
    QString text;
};

// The address field must hold an address as long as 192.168.100.100, whatever it shows now.
std::optional<TextRoom> textRoom(QWidget* widget, const QLineEdit* address)
{
    const QFontMetrics fm = widget->fontMetrics();
    QStyle* style = widget->style();
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->text().isEmpty())
        return TextRoom{label->contentsRect().width() - 2 * label->margin(), fm.horizontalAdvance(label->text()),
                        label->text()};
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QMargins margins = edit->textMargins();
        const int room = style->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() - margins.left()
                         - margins.right() - 2 * 2; // the line edit's own inner margin
        const QString text = edit == address ? QStringLiteral("192.168.100.100") : edit->text();
        return TextRoom{room, fm.horizontalAdvance(text), text};
    }
    if (auto* box = qobject_cast<QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        TextRoom widest{
            style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width(), 0,
            QString()};
        for (int i = 0; i < box->count(); ++i)
            if (fm.horizontalAdvance(box->itemText(i)) > widest.needed)
                widest = {widest.room, fm.horizontalAdvance(box->itemText(i)), box->itemText(i)};
        return widest;
    }
    auto* button = qobject_cast<QAbstractButton*>(widget);
    auto* tool = qobject_cast<QToolButton*>(widget);
    if (!button || button->text().isEmpty() || (tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly))
        return std::nullopt;
    const int textWidth = fm.horizontalAdvance(button->text());
    if (tool) {
        QStyleOptionToolButton option;
        option.initFrom(tool);
        option.toolButtonStyle = tool->toolButtonStyle();
        option.text = tool->text();
        const QSize contents(std::max(textWidth, tool->iconSize().width()), fm.height() + tool->iconSize().height());
        const int needed = style->sizeFromContents(QStyle::CT_ToolButton, &option, contents, tool).width();
        return TextRoom{tool->width(), needed, tool->text()};
    }
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const bool check = qobject_cast<QCheckBox*>(button);
    const QRect contents =
        style->subElementRect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents, &option, button);
    return TextRoom{contents.width(), textWidth, button->text()};
}

// How much of the widget's width its ancestors leave visible.
int visibleWidth(QWidget* widget)
{
    QRect rect = widget->rect();
    for (QWidget* w = widget; !w->isWindow(); w = w->parentWidget())
        rect = rect.translated(w->pos()) & w->parentWidget()->rect();
    return rect.width();
}

} // namespace

using WindowLayout = WindowFixture;

// In both languages, connected and not, and with the longest status a lidar reports, every
// text of the window is shown whole at the window's first size. The language reaches the
// status panel and the logic.
TEST_F(WindowLayout, EveryTextFitsInBothLanguagesConnectedOrNot)
{
    kes_sim::SimOptions reupgrade;
    reupgrade.bind_address = "127.0.0.1";
    reupgrade.port = 0;
    reupgrade.firmware = "B1.0.7";
    kes_sim::LidarSimulator failing(reupgrade);
    ASSERT_TRUE(failing.start().ok());
    startSimulator();
    emit logic()->sendIP("127.0.0.1");
    const auto* address = child<LidarToolBar>("LidarToolBar")->findChild<QLineEdit*>("lineEdit");
    auto* temperature = child<QLabel>("stateLabel_temp");
    auto* language = child<QToolButton>("toolButton_language");
    auto* caption = child<LidarGLWidget>("openGLWidget")->infoWidget()->findChild<QLabel*>("label_2");
    // The re-upgrade lidar comes last: a later connect would reuse its driver.
    const struct {
        bool english;
        const char* state;
        uint16_t port;
    } steps[] = {{false, "not connected", 0},          {false, "connected", sim_->port()},
                 {true, "not connected", 0},           {true, "connected", sim_->port()},
                 {true, "re-upgrade", failing.port()}, {false, "re-upgrade", failing.port()}};
    for (const auto& step : steps) {
        const char* name = step.english ? "English" : "Chinese";
        if (language->isChecked() != step.english)
            QTest::mouseClick(language, Qt::LeftButton);
        EXPECT_EQ(caption->text(), step.english ? "Lidar Status:" : "雷达状态:");
        EXPECT_EQ(logic()->language_, step.english);
        if (step.port) {
            logic()->lidar_port_ = step.port;
            QTest::mouseClick(child<QToolButton>("switchButton"), Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return logic()->connected_ && child<QWidget>("switchButton")->isEnabled(); }, 10000));
            const bool streams = step.port == sim_->port();
            ASSERT_TRUE(!streams || QTest::qWaitFor([&] { return temperature->text() != "--"; }, 5000));
        }
        QTest::qWait(100); // nested layouts settle over several turns of the event loop
        std::set<QString> seen;
        for (QWidget* widget : window_->findChildren<QWidget*>()) {
            const std::optional<TextRoom> room = widget->isVisible() ? textRoom(widget, address) : std::nullopt;
            if (!room)
                continue;
            seen.insert(widget->objectName());
            const int clipped = widget->width() - visibleWidth(widget);
            EXPECT_GE(room->room - clipped, room->needed)
                << name << ", " << step.state << ": " << widget->objectName().toStdString() << " \""
                << room->text.toStdString() << "\"" << (clipped ? " clipped by its parent" : "");
        }
        for (const char* object :
             {"lineEdit", "DirenctionLabel", "mode_comBox", "hardware_label", "label_5", "label_3"})
            EXPECT_TRUE(seen.count(object)) << name << ", " << step.state << ": " << object << " not shown";
        if (step.port) {
            QTest::mouseClick(child<QToolButton>("switchButton"), Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !logic()->connected_ && child<QWidget>("switchButton")->isEnabled(); }, 10000));
        }
    }
}
