#include "kes_measure/accuracy_info.h"
#include "kes_view/lidargl_widget.h"
#include "operator_drive.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>

namespace {

// A window shortcut needs the window to be the active one.
void pressMeasureShortcut(MainWindow& window)
{
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
}

QStringList filesIn(const QString& dir, const QString& pattern)
{
    return QDir(QCoreApplication::applicationDirPath() + "/" + dir).entryList({pattern}, QDir::Files);
}

} // namespace

using WindowMeasure = WindowFixture;

// Ctrl+Shift+M shows the measurement tool bar and hides it again. The simulator's room has
// its nearest wall 2 m away, far outside 230 to 270 mm.
TEST_F(WindowMeasure, ARangeTestOnTheLiveStreamEndsNgWithItsFileAndScreenshot)
{
    startSimulator();
    auto* bar = child<QToolBar>("toolBar_3");
    EXPECT_FALSE(bar->isVisible());
    pressMeasureShortcut(*window_);
    auto* start = child<QPushButton>("start_measure_button");
    ASSERT_TRUE(start->isVisible() && child<QWidget>("widget_result")->isVisible()) << "both panels";
    EXPECT_FALSE(start->isEnabled());
    ASSERT_TRUE(connectLikeAnOperator(*window_, boxes_, "127.0.0.1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }, 3000));

    auto* sn = child<QLineEdit>("lineEdit_sn_code");
    sn->setText("WinMeasure1");
    QTest::keyClick(sn, Qt::Key_Return);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_EQ(start->text(), "停止测量");
    auto* verdict = child<QLabel>("label_ok_or_ng");
    ASSERT_TRUE(QTest::qWaitFor([&] { return verdict->text() == "NG"; }, 5000));
    EXPECT_EQ(verdict->styleSheet(), "color:red;");

    const QString screenshots = "WinMeasure1_*Screenshot.png";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !filesIn("Screenshots", screenshots).isEmpty(); }, 5000));
    EXPECT_EQ(start->text(), "开始测量");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(filesIn("MeasureData", "WinMeasure1_*.csv").size(), 1);
    QTest::mouseClick(child<QPushButton>("pushButton_set_config"), Qt::LeftButton);
    AccuracyInfo* table = child<LidarGLWidget>("openGLWidget")->accuracyInfo();
    EXPECT_TRUE(table->isVisible()) << "the true-value table opens from the tool bar";
    table->close();
    pressMeasureShortcut(*window_);
    EXPECT_FALSE(bar->isVisible());

    for (const QString& name : filesIn("Screenshots", screenshots))
        QDir(QCoreApplication::applicationDirPath() + "/Screenshots").remove(name);
    QDir(QCoreApplication::applicationDirPath() + "/MeasureData").removeRecursively();
}
