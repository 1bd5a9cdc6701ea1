#include "operator_drive.h"

#include "lidargl_widget.h"
#include "mainwindow.h"
#include "view_resources.h"

#include <QApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <cstdio>

// Opens the viewer, switches it to English, connects it to the simulator on
// 127.0.0.1:2007 the way the README tells, and saves the window as shown to argv[1].
int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    initViewResources();
    BoxWatch boxes;
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::mouseClick(window.findChild<QToolButton*>("toolButton_language"), Qt::LeftButton);
    if (!connectLikeAnOperator(window, boxes, QStringLiteral("127.0.0.1"))) {
        std::fprintf(stderr, "could not connect to 127.0.0.1:2007\n");
        return 1;
    }
    zoomOutToTheRoom(window);
    QSignalSpy frames(window.findChild<LidarGLWidget*>("openGLWidget"), &QOpenGLWidget::frameSwapped);
    const bool live = QTest::qWaitFor([&] { return frames.count() >= 20 && cloudPixels(window) > 300; }, 10000);
    if (!live || !boxes.unexpected.isEmpty()) {
        std::fprintf(stderr, "no live cloud on screen\n");
        return 1;
    }
    const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(window.winId());
    return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
