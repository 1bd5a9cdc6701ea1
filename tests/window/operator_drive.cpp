#include "operator_drive.h"

#include "kes_logic/lidar_logic.h"
#include "kes_view/lidargl_widget.h"
#include "kes_window/mainwindow.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

namespace {

constexpr int kConnectBoundMs = 10000;
constexpr float kRoomZoom = 14.0f;

} // namespace

bool enterAddressLikeAnOperator(MainWindow& window, kes_test::PromptScript& boxes, const QString& address)
{
    auto* button = window.findChild<QToolButton*>(QStringLiteral("switchButton"));
    auto* edit = window.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    const bool english = window.findChild<QToolButton*>(QStringLiteral("toolButton_language"))->isChecked();
    const QString notFound = english ? QStringLiteral("Lidar IP not found") : QStringLiteral("雷达IP未找到");
    boxes.expect(notFound);
    QTest::mouseClick(button, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return boxes.allShown() && edit->isEnabled(); }, 5000))
        return false;
    edit->clear();
    QTest::keyClicks(edit, address);
    return edit->text() == address;
}

bool clickConnect(MainWindow& window)
{
    auto* button = window.findChild<QToolButton*>(QStringLiteral("switchButton"));
    QTest::mouseClick(button, Qt::LeftButton);
    LidarLogic* logic = window.logic();
    return QTest::qWaitFor([&] { return logic->connected_ && button->isEnabled(); }, kConnectBoundMs);
}

void zoomOutToTheRoom(MainWindow& window)
{
    auto* view = window.findChild<LidarGLWidget*>(QStringLiteral("openGLWidget"));
    auto* narrow = view->findChild<QToolButton*>(QStringLiteral("narrowButton"));
    while (view->zoom() < kRoomZoom)
        QTest::mouseClick(narrow, Qt::LeftButton);
}
