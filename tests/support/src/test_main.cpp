// The one main of every test program; the build picks its application object.
#include <gtest/gtest.h>

#if defined(KES_TEST_APP_widgets)
#include <kes_resources/view_resources.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#elif defined(KES_TEST_APP_core)
#include <QCoreApplication>
#endif

int main(int argc, char** argv)
{
#if defined(KES_TEST_APP_widgets)
    QApplication app(argc, argv);
    // Tests send their own enter and leave events: the display's pointer is parked where no
    // window opens, so it sends none of its own.
    QCursor::setPos(QGuiApplication::primaryScreen()->geometry().bottomRight());
    QCoreApplication::processEvents();
    initViewResources();
#elif defined(KES_TEST_APP_core)
    // Signals from worker threads are queued to this thread.
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
