#include "kes_window/mainwindow.h"

#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

QString MainWindow::screenshotPath(const QString& sn, const QDateTime& at)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Screenshots/") + sn
           + at.toString(QStringLiteral("yyyy-MM-dd_hh_mm_ss_zzz-")) + QStringLiteral("Screenshot.png");
}

void MainWindow::saveScreenshot(QString sn)
{
    const QString path = screenshotPath(sn, QDateTime::currentDateTime());
    const QString from = sender() ? sender()->objectName() : QString();
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap picture;
    if (from == QLatin1String("LidarToolBar")) {
        const QPoint corner = ui->openGLWidget->mapToGlobal(QPoint(0, 0));
        picture =
            screen->grabWindow(0, corner.x(), corner.y(), ui->openGLWidget->width(), ui->openGLWidget->height());
    } else if (from == QLatin1String("openGLWidget")) {
        // Leaves out the window border.
        const QRect frame = frameGeometry();
        picture = screen->grabWindow(0, frame.x() + 8, frame.y() + 8, frame.width() - 16, frame.height() - 16);
    } else {
        return;
    }
    picture.save(path, "PNG", 100);
}
