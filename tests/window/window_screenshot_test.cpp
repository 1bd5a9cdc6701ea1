#include "kes_toolbar/lidar_toolbar.h"
#include "kes_view/lidargl_widget.h"
#include "named_sender.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QRegularExpression>

namespace {

QDir screenshotDir()
{
    return QDir(QCoreApplication::applicationDirPath() + "/Screenshots");
}

// The files saved for one serial number, removed as they are collected.
QStringList takeScreenshots(const QString& sn, QList<QImage>* images = nullptr)
{
    QDir dir = screenshotDir();
    const QStringList names = dir.entryList({sn + "*Screenshot.png"}, QDir::Files);
    for (const QString& name : names) {
        if (images)
            images->append(QImage(dir.filePath(name)));
        dir.remove(name);
    }
    return names;
}

bool showsBackground(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7)
            if (std::abs(qRed(image.pixel(x, y)) - 77) <= 2 && qRed(image.pixel(x, y)) == qBlue(image.pixel(x, y)))
                return true;
    return false;
}

} // namespace

using WindowScreenshot = WindowFixture;

TEST_F(WindowScreenshot, NameIsSerialNumberThenStampWithMilliseconds)
{
    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9, 45));
    const QString dir = QCoreApplication::applicationDirPath() + "/Screenshots/";
    EXPECT_EQ(MainWindow::screenshotPath("A123", at), dir + "A1232024-03-05_14_07_09_045-Screenshot.png");
    EXPECT_EQ(MainWindow::screenshotPath("", at), dir + "2024-03-05_14_07_09_045-Screenshot.png");
}

TEST_F(WindowScreenshot, ToolBarRequestSavesTheViewAreaOfTheScreen)
{
    ASSERT_TRUE(screenshotDir().exists()) << "the tool bar creates it";
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    emit child<LidarToolBar>("LidarToolBar")->sig_screenshot_clicked("WinTest1_");
    const QDateTime after = QDateTime::currentDateTime().addMSecs(1);

    QList<QImage> images;
    const QStringList names = takeScreenshots("WinTest1_", &images);
    ASSERT_EQ(names.size(), 1);
    const QRegularExpression pattern(
        "^WinTest1_(\\d{4}-\\d\\d-\\d\\d_\\d\\d_\\d\\d_\\d\\d_\\d{3})-Screenshot\\.png$");
    const auto match = pattern.match(names.first());
    ASSERT_TRUE(match.hasMatch()) << names.first().toStdString();
    const QDateTime stamp = QDateTime::fromString(match.captured(1), "yyyy-MM-dd_hh_mm_ss_zzz");
    EXPECT_TRUE(stamp >= before && stamp <= after) << match.captured(1).toStdString();
    EXPECT_EQ(images.first().size(), child<LidarGLWidget>("openGLWidget")->size());
    EXPECT_TRUE(showsBackground(images.first()));
}

// The measurement's request saves the window without its border; any other sender or a direct
// call saves nothing.
TEST_F(WindowScreenshot, MeasurementRequestSavesTheWindowWithoutItsBorder)
{
    NamedSender view("openGLWidget"), other("measureToolBar");
    for (NamedSender* sender : {&view, &other})
        QObject::connect(sender, &NamedSender::request, window_.get(), &MainWindow::saveScreenshot);
    emit view.request("WinTest2_");
    QList<QImage> images;
    ASSERT_EQ(takeScreenshots("WinTest2_", &images).size(), 1);
    EXPECT_EQ(images.first().size(), window_->frameGeometry().size() - QSize(16, 16));
    emit other.request("WinTest3_");
    window_->saveScreenshot("WinTest3_");
    EXPECT_TRUE(takeScreenshots("WinTest3_").isEmpty());
}
