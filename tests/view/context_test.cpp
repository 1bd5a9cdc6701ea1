#include "kes_view/lidargl_widget.h"

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
    kes_sdk::ScanBlockData block;
    block.layers.push_back({std::vector<uint16_t>(378, 1000), std::vector<uint8_t>(378)});
    for (block.block_id = 1; block.block_id <= 6; ++block.block_id)
        view.receiveBlock(block);
    view.zoomIn();
    view.grabFramebuffer();
    QApplication::processEvents();
    EXPECT_EQ(view.drawVertices().size(), 6u * 378u);
    EXPECT_EQ(log.count("compatibility profile context required"), 1);
}
