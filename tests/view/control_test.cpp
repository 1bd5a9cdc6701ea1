#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_panels/reset_widget.h"
#include "view_fixture.h"

#include <QLabel>
#include <QToolButton>

class ControlTest : public ViewTest {
protected:
    void click(const char* button)
    {
        QTest::mouseClick(view_->resetWidget()->findChild<QToolButton*>(button), Qt::LeftButton);
    }

    QString panel(const char* name) const { return view_->infoWidget()->findChild<QLabel*>(name)->text(); }
};

// Each step of the buttons and the wheel, near the sensor and far out; the rings follow.
TEST_F(ControlTest, ButtonsAndWheelStepTheZoomAndTheRingsFollow)
{
    const struct {
        const char* button;
        int wheel;
        float zoom;
    } steps[] = {{"ampliftyButton", 0, 0.9f}, {nullptr, 120, 0.8f},  {nullptr, -120, 0.9f},
                 {"narrowButton", 0, 1.0f},   {nullptr, -120, 1.1f}, {nullptr, -120, 2.1f},
                 {nullptr, 120, 1.1f}};
    for (const auto& step : steps) {
        if (step.button)
            click(step.button);
        else
            wheel(step.wheel);
        EXPECT_NEAR(view_->zoom(), step.zoom, 1e-4) << step.zoom;
    }
    for (int k = 0; k < 12; ++k)
        click("ampliftyButton");
    EXPECT_FLOAT_EQ(view_->zoom(), 0.1f);
    for (float zoom : {9.0f, 12.0f}) {
        zoomTo(zoom);
        EXPECT_TRUE(ringAt(grab())) << zoom;
    }
}

TEST_F(ControlTest, DragPansWithTheCursorAndRecentreKeepsTheZoom)
{
    zoomTo(10.0f);
    const float zoom = view_->zoom();
    QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    moveMouse(QPoint(500, 250), Qt::LeftButton);
    QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, QPoint(500, 250));
    EXPECT_NEAR(view_->panX(), -100 * zoom * 0.001f, 1e-5);
    EXPECT_NEAR(view_->panY(), -50 * zoom * 0.001f, 1e-5);
    EXPECT_TRUE(ringAt(grab())) << "the grid moved with the camera";
    moveMouse(QPoint(300, 300), Qt::RightButton);
    EXPECT_NEAR(view_->panX(), -100 * zoom * 0.001f, 1e-5) << "right button does not pan";
    click("resetButton");
    EXPECT_EQ(QPointF(view_->panX(), view_->panY()), QPointF(0, 0));
    EXPECT_FLOAT_EQ(view_->zoom(), zoom);
    EXPECT_TRUE(ringAt(grab()));
}

// The bearing under the cursor in the four directions and at the origin; on a 4:3 view 150
// pixels are the same distance across and up. The point found there is shown, with a yellow
// line, once a frame and only while the cursor is inside.
TEST_F(ControlTest, TheBearingUnderTheCursorAndItsPoint)
{
    zoomTo(10.0f);
    grab();
    const std::pair<QPoint, float> cases[] = {{{400, 150}, 180}, {{600, 300}, 90},  {{400, 450}, 0},
                                              {{200, 300}, 270}, {{400, 300}, 180}, {{550, 150}, 135}};
    for (const auto& [pos, bearing] : cases) {
        moveMouse(pos);
        EXPECT_NEAR(view_->selectAngle(), bearing, 1e-3) << pos.x() << "," << pos.y();
    }
    // Paints and window events still queued from showing and zooming would land in the middle.
    QCoreApplication::processEvents();
    QEvent enter(QEvent::Enter), leave(QEvent::Leave);
    QApplication::sendEvent(view_.get(), &enter);
    moveMouse(QPoint(400, 150));
    const Revolution revolution = revolutionWithPoint(kN, 3, kN - 1, 2000, 42);
    const double theta = (deviceAngle(kN, 3, kN - 1) - 90) * M_PI / 180;
    const double x = 2.4 * std::cos(theta), y = 2.4 * std::sin(theta);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    EXPECT_EQ(panel("angle_label"), QString::number((4 * kN - 1) * (270.0f / (6 * kN - 1)), 'f', 2) + "°");
    EXPECT_EQ(panel("distance_label"), "4.00m");
    EXPECT_EQ(panel("intensity_label"), "42");
    EXPECT_TRUE(anyNear(lastFrame(), x, y, 2, 255, 255, 0)) << "yellow line";
    grab();
    EXPECT_EQ(panel("angle_label"), "--") << "shown once per found point";
    QApplication::sendEvent(view_.get(), &leave);
    ASSERT_TRUE(paintsAfter([&] { send(revolution); }));
    for (const char* name : {"angle_label", "distance_label", "intensity_label"})
        EXPECT_EQ(panel(name), "--") << name;
    EXPECT_FALSE(anyNear(lastFrame(), x, y, 2, 255, 255, 0));
}

TEST_F(ControlTest, PanelsArePlacedAtTheEdgesOnResize)
{
    view_->resize(1000, 700);
    ASSERT_TRUE(kes_test::waitFor([&] { return view_->size() == QSize(1000, 700); }));
    QWidget* info = view_->infoWidget();
    QWidget* legend = view_->colorLabel();
    EXPECT_EQ(info->geometry(), QRect(QPoint(0, 700 - info->height()), info->size()));
    EXPECT_EQ(legend->geometry(), QRect(QPoint(1000 - legend->width(), 600 - legend->height()), legend->size()));
    EXPECT_EQ(view_->resetWidget()->pos(), QPoint(0, 0));
    EXPECT_EQ(view_->findChild<QWidget*>("logo")->geometry(), QRect(1000 - 177, 700 - 37, 177, 37));
}
