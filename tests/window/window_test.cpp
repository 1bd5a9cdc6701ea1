#include "kes_logic/lidar_logic.h"
#include "kes_measure/accuracy_info.h"
#include "kes_panels/info_widget.h"
#include "kes_toolbar/lidar_toolbar.h"
#include "kes_view/lidargl_widget.h"
#include "kes_window/mainwindow.h"
#include "operator_drive.h"

#include <kes_test/prompt_script.h>
#include <kes_test/simulator.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>
#include <optional>
#include <set>

// The window as main shows it, with a simulator on a free loopback port that LidarLogic is
// aimed at before anything connects (never at its default address).
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window_ = std::make_unique<MainWindow>();
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }
    void startSimulator()
    {
        sim_ = kes_test::startSimulator();
        logic()->ip_addr_ = QStringLiteral("127.0.0.1");
        logic()->lidar_port_ = sim_->port();
    }
    template <class T>
    T* child(const char* name) const
    {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }
    LidarLogic* logic() const { return window_->logic(); }
    kes_test::PromptScript boxes_;
    std::unique_ptr<kes_sim::LidarSimulator> sim_;
    std::unique_ptr<MainWindow> window_;
};

// The width a widget needs for its whole text, by its own font and style. The address field
// must hold an address as long as 192.168.100.100, whatever it shows now.
std::optional<int> widthNeeded(QWidget* widget, const QLineEdit* address)
{
    const QFontMetrics fm = widget->fontMetrics();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(edit);
        option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
        const QMargins margins = edit->textMargins();
        const int room = edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width()
                         - margins.left() - margins.right() - 2 * 2; // the line edit's own inner margin
        return edit->width() - room + fm.horizontalAdvance(edit == address ? "192.168.100.100" : edit->text());
    }
    if (auto* box = qobject_cast<QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = std::max(widest, fm.horizontalAdvance(box->itemText(i)));
        const QRect field =
            box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
        return box->width() - field.width() + widest;
    }
    auto* label = qobject_cast<QLabel*>(widget);
    auto* button = qobject_cast<QAbstractButton*>(widget);
    auto* tool = qobject_cast<QToolButton*>(widget);
    if ((label && !label->text().isEmpty())
        || (button && !button->text().isEmpty() && !(tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)))
        return widget->sizeHint().width();
    return std::nullopt;
}

int visibleWidth(QWidget* widget)
{
    QRect rect = widget->rect();
    for (QWidget* w = widget; !w->isWindow(); w = w->parentWidget())
        rect = rect.translated(w->pos()) & w->parentWidget()->rect();
    return rect.width();
}

using WindowLayout = WindowFixture;

// In both languages, connected and not, and with the longest status a lidar reports, every
// text of the window is shown whole at the window's first size. The language reaches the
// status panel and the logic.
TEST_F(WindowLayout, EveryTextFitsInBothLanguagesConnectedOrNot)
{
    const auto failing = kes_test::startSimulator([](kes_sim::SimOptions& options) { options.firmware = "B1.0.7"; });
    startSimulator();
    emit logic()->sendIP("127.0.0.1");
    const auto* address = child<LidarToolBar>("LidarToolBar")->findChild<QLineEdit*>("lineEdit");
    EXPECT_EQ(address->text(), "127.0.0.1");
    auto* language = child<QToolButton>("toolButton_language");
    auto* caption = child<LidarGLWidget>("openGLWidget")->infoWidget()->findChild<QLabel*>("label_2");
    // The re-upgrade lidar comes last: a later connect would reuse its driver.
    const struct {
        bool english;
        const char* state;
        uint16_t port;
    } steps[] = {{false, "Chinese, not connected", 0},
                 {false, "Chinese, connected", sim_->port()},
                 {true, "English, not connected", 0},
                 {true, "English, connected", sim_->port()},
                 {true, "English, re-upgrade", failing->port()},
                 {false, "Chinese, re-upgrade", failing->port()}};
    for (const auto& step : steps) {
        if (language->isChecked() != step.english)
            QTest::mouseClick(language, Qt::LeftButton);
        EXPECT_EQ(caption->text(), step.english ? "Lidar Status:" : "雷达状态:");
        EXPECT_EQ(logic()->language_, step.english);
        if (step.port) {
            logic()->lidar_port_ = step.port;
            ASSERT_TRUE(clickConnect(*window_));
            ASSERT_TRUE(step.port != sim_->port()
                        || QTest::qWaitFor([&] { return child<QLabel>("stateLabel_temp")->text() != "--"; }, 5000));
        }
        QTest::qWait(100); // nested layouts settle over several turns of the event loop
        std::set<QString> seen;
        for (QWidget* widget : window_->findChildren<QWidget*>()) {
            const std::optional<int> needed = widget->isVisible() ? widthNeeded(widget, address) : std::nullopt;
            if (!needed)
                continue;
            seen.insert(widget->objectName());
            EXPECT_GE(visibleWidth(widget), *needed) << step.state << ": " << widget->objectName().toStdString();
        }
        for (const char* object :
             {"lineEdit", "DirenctionLabel", "mode_comBox", "hardware_label", "label_5", "label_3"})
            EXPECT_TRUE(seen.count(object)) << step.state << ": " << object << " not shown";
        if (step.port) {
            QTest::mouseClick(child<QToolButton>("switchButton"), Qt::LeftButton);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !logic()->connected_ && child<QWidget>("switchButton")->isEnabled(); }, 10000));
        }
    }
}

QDir appDir(const char* sub)
{
    return QDir(QCoreApplication::applicationDirPath() + "/" + sub);
}

// The files saved for one serial number, removed as they are collected.
QStringList takeScreenshots(const QString& sn, QList<QImage>* images = nullptr)
{
    QDir dir = appDir("Screenshots");
    const QStringList names = dir.entryList({sn + "*Screenshot.png"}, QDir::Files);
    for (const QString& name : names) {
        if (images)
            images->append(QImage(dir.filePath(name)));
        dir.remove(name);
    }
    return names;
}

using WindowScenario = WindowFixture;

// The tool bar's screenshot is the view area, named by the serial number, then the stamp with
// milliseconds; a direct call saves nothing. Ctrl+Shift+M shows the measurement tool bar; the
// simulator's room has its nearest wall 2 m away, far outside 230 to 270 mm, and the verdict's
// screenshot is the window without its border. Closing the window while it streams stops
// every device thread.
TEST_F(WindowScenario, ScreenshotsThenARangeTestOnTheLiveStreamThenClose)
{
    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9, 40));
    const QString dir = appDir("Screenshots").path() + "/";
    EXPECT_EQ(MainWindow::screenshotPath("A123", at), dir + "A1232024-03-05_14_07_09_040-Screenshot.png");
    EXPECT_EQ(MainWindow::screenshotPath("", at), dir + "2024-03-05_14_07_09_040-Screenshot.png");
    ASSERT_TRUE(appDir("Screenshots").exists()) << "the tool bar creates it";
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    emit child<LidarToolBar>("LidarToolBar")->sig_screenshot_clicked("WinTest1_");
    const QDateTime after = QDateTime::currentDateTime().addMSecs(1);
    QList<QImage> images;
    const QStringList names = takeScreenshots("WinTest1_", &images);
    ASSERT_EQ(names.size(), 1);
    const QDateTime stamp = QDateTime::fromString(names.first().mid(9, 23), "yyyy-MM-dd_hh_mm_ss_zzz");
    EXPECT_TRUE(stamp >= before && stamp <= after) << names.first().toStdString();
    EXPECT_EQ(images.first().size(), child<LidarGLWidget>("openGLWidget")->size());
    bool background = false;
    for (int y = 0; y < images.first().height(); y += 7)
        for (int x = 0; x < images.first().width(); x += 7) {
            const QRgb pixel = images.first().pixel(x, y);
            background = background || (std::abs(qRed(pixel) - 77) <= 2 && qRed(pixel) == qBlue(pixel));
        }
    EXPECT_TRUE(background);
    window_->saveScreenshot("WinTest2_");
    EXPECT_TRUE(takeScreenshots("WinTest2_").isEmpty());

    startSimulator();
    auto* bar = child<QToolBar>("toolBar_3");
    EXPECT_FALSE(bar->isVisible());
    const auto pressMeasureShortcut = [this] {
        window_->activateWindow(); // a window shortcut needs the window to be the active one
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    };
    pressMeasureShortcut();
    auto* start = child<QPushButton>("start_measure_button");
    ASSERT_TRUE(start->isVisible() && child<QWidget>("widget_result")->isVisible()) << "both panels";
    EXPECT_FALSE(start->isEnabled());
    ASSERT_TRUE(enterAddressLikeAnOperator(*window_, boxes_, "127.0.0.1") && clickConnect(*window_));
    ASSERT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }, 3000));
    auto* sn = child<QLineEdit>("lineEdit_sn_code");
    sn->setText("WinMeasure1");
    QTest::keyClick(sn, Qt::Key_Return);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), "停止测量");
    auto* verdict = child<QLabel>("label_ok_or_ng");
    ASSERT_TRUE(QTest::qWaitFor([&] { return verdict->text() == "NG"; }, 5000));
    EXPECT_EQ(verdict->styleSheet(), "color:red;");
    images.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !takeScreenshots("WinMeasure1_", &images).isEmpty(); }, 5000));
    EXPECT_EQ(images.first().size(), window_->frameGeometry().size() - QSize(16, 16));
    EXPECT_EQ(start->text(), "开始测量");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(appDir("MeasureData").entryList({"WinMeasure1_*.csv"}).size(), 1);
    appDir("MeasureData").removeRecursively();
    QTest::mouseClick(child<QPushButton>("pushButton_set_config"), Qt::LeftButton);
    AccuracyInfo* table = child<LidarGLWidget>("openGLWidget")->accuracyInfo();
    EXPECT_TRUE(table->isVisible()) << "the true-value table opens from the tool bar";
    table->close();
    pressMeasureShortcut();
    EXPECT_FALSE(bar->isVisible());

    QElapsedTimer closing;
    closing.start();
    window_->close();
    window_.reset();
    EXPECT_LT(closing.elapsed(), 5000);
    // The information thread polls every 500 ms; nothing may still be talking after it.
    const auto settled = sim_->snapshot().request_counts;
    QTest::qWait(1200);
    EXPECT_EQ(sim_->snapshot().request_counts, settled);
}
