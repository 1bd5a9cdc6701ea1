#include "kes_resources/view_resources.h"
#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSurfaceFormat>
#include <QTest>

namespace {

QStringList messages;

void collect(QtMsgType, const QMessageLogContext&, const QString& text)
{
    messages << text;
}

int contextMessages()
{
    return int(std::count_if(messages.begin(), messages.end(),
                             [](const QString& m) { return m.contains("compatibility profile context required"); }));
}

} // namespace

// A 4.1 compatibility request without deprecated functions yields a core context: the view
// must say so once and stay alive.
TEST(ContextCheck, ACoreContextIsReportedOnceAndTheViewStaysAlive)
{
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
    EXPECT_EQ(contextMessages(), 1);
}

int main(int argc, char** argv)
{
    QSurfaceFormat format;
    format.setVersion(4, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    QSurfaceFormat::setDefaultFormat(format);
    qInstallMessageHandler(collect);
    QApplication app(argc, argv);
    initViewResources();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
