#include "operator_drive.h"

#include "kes_logic/lidar_logic.h"
#include "kes_window/mainwindow.h"

#include <QLineEdit>
#include <QTest>
#include <QToolButton>

bool enterAddressLikeAnOperator(MainWindow& window, kes_test::PromptScript& boxes, const QString& address)
{
    auto* button = window.findChild<QToolButton*>(QStringLiteral("switchButton"));
    auto* edit = window.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    boxes.expect(QStringLiteral("雷达IP未找到"));
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
    return QTest::qWaitFor([&] { return logic->connected_ && button->isEnabled(); }, 10000);
}
