#include "kes_resources/view_resources.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>

// Widgets need an application object; the panels need the compiled-in icons.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The tests send their own enter and leave events; the display's pointer is parked where
    // no view opens, so it sends none of its own.
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    QCoreApplication::processEvents();
    initViewResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
