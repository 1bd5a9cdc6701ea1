#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QSurfaceFormat>

// A 4.1 compatibility request without deprecated functions yields a core context: the view
// must say so once and stay alive.
TEST(ContextCheck, ACoreContextIsReportedOnceAndTheViewStaysAlive)
{
    QSurfaceFormat format;
    format.setVersion(4, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    QSurfaceFormat::setDefaultFormat(format);
    kes_test::DebugLog log;
    LidarGLWidget view;
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.grabFramebuffer();
    EXPECT_FALSE(view.glReady());
    for (uint8_t id = 1; id <= 6; ++id)
        view.receiveBlock(makeBlock(id, 378, 1000));
    view.zoomIn();
    view.grabFramebuffer();
    QApplication::processEvents();
    EXPECT_EQ(view.drawVertices().size(), 6u * 378u);
    EXPECT_EQ(log.count("compatibility profile context required"), 1);
}
