#include "kes_panels/color_label.h"
#include "kes_panels/info_widget.h"
#include "kes_panels/reset_widget.h"
#include "view_fixture.h"

#include <QLabel>
#include <QToolButton>

namespace {

constexpr size_t kN = 378;

} // namespace

class ControlTest : public ViewFixture {
protected:
    void click(const char* button)
    {
        QTest::mouseClick(view_->resetWidget()->findChild<QToolButton*>(button), Qt::LeftButton);
    }

    QString panel(const char* name) const { return view_->infoWidget()->findChild<QLabel*>(name)->text(); }

    bool ringAt(const QImage& image)
    {
        const double c = std::cos(36 * M_PI / 180), s = std::sin(36 * M_PI / 180);
        return anyNear(image, 5 * c, 5 * s, 1, is(255, 255, 255, 0));
    }
};

TEST_F(ControlTest, ButtonsAndWheelStepTheZoomAndTheRingsFollow)
{
    std::vector<float> seen;
    for (int k = 0; k < 11; ++k) {
        click("ampliftyButton");
        seen.push_back(view_->zoom());
    }
    for (int k = 0; k < 9; ++k)
        EXPECT_NEAR(seen[size_t(k)], 0.9f - 0.1f * float(k), 1e-4) << k;
    EXPECT_FLOAT_EQ(seen.back(), 0.1f);
    click("narrowButton");
    EXPECT_NEAR(view_->zoom(), 0.2f, 1e-4);
    wheel(-120);
    wheel(-120);
    EXPECT_NEAR(view_->zoom(), 0.4f, 1e-4);
    wheel(120);
    EXPECT_NEAR(view_->zoom(), 0.3f, 1e-4);
    zoomTo(3.0f);
    const float above = view_->zoom();
    wheel(-120);
    EXPECT_NEAR(view_->zoom(), above + 1.0f, 1e-4);
    wheel(120);
    wheel(120);
    EXPECT_NEAR(view_->zoom(), above - 1.0f, 1e-4);

    zoomTo(9.0f);
    EXPECT_TRUE(ringAt(grab()));
    zoomTo(12.0f);
    EXPECT_TRUE(ringAt(grab()));
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
    EXPECT_FLOAT_EQ(view_->panX(), 0.0f);
    EXPECT_FLOAT_EQ(view_->panY(), 0.0f);
    EXPECT_FLOAT_EQ(view_->zoom(), zoom);
    EXPECT_TRUE(ringAt(grab()));
}

TEST_F(ControlTest, BearingUnderTheCursorInTheFourDirectionsAndAtTheOrigin)
{
    zoomTo(10.0f);
    grab();
    const std::vector<std::pair<QPoint, float>> cases{
        {{400, 150}, 180.0f}, {{600, 300}, 90.0f}, {{400, 450}, 0.0f}, {{200, 300}, 270.0f}, {{400, 300}, 180.0f}};
    for (const auto& [pos, bearing] : cases) {
        moveMouse(pos);
        EXPECT_NEAR(view_->selectAngle(), bearing, 1e-3) << pos.x() << "," << pos.y();
    }
    // 4:3 view: 150 pixels are the same distance across and up.
    moveMouse(QPoint(550, 150));
    EXPECT_NEAR(view_->selectAngle(), 135.0, 1e-3);
}

TEST_F(ControlTest, PointAtTheBearingIsShownOnlyWhileTheCursorIsInside)
{
    zoomTo(10.0f);
    grab();
    // Paints and window events still queued from showing and zooming would land in the middle.
    QCoreApplication::processEvents();
    sendEnterLeave(QEvent::Enter);
    moveMouse(QPoint(400, 150));
    const auto revolution = revolutionWithPoint(kN, 3, 377, 2000, 42);
    const double a = deviceAngle(kN, 3, 377);
    const double theta = (a - 90) * M_PI / 180;
    const double x = 4 * std::cos(theta), y = 4 * std::sin(theta);

    ASSERT_TRUE(paintsAfter([&] { sendRevolution(revolution); }));
    EXPECT_EQ(panel("angle_label"), QString::number(1511 * (270.0f / 2267.0f), 'f', 2) + "°");
    EXPECT_EQ(panel("distance_label"), "4.00m");
    EXPECT_EQ(panel("intensity_label"), "42");
    EXPECT_TRUE(anyNear(lastFrame(), x * 0.6, y * 0.6, 2, is(255, 255, 0))) << "yellow line";

    grab();
    EXPECT_EQ(panel("angle_label"), "--") << "shown once per found point";

    sendEnterLeave(QEvent::Leave);
    ASSERT_TRUE(paintsAfter([&] { sendRevolution(revolution); }));
    EXPECT_EQ(panel("angle_label"), "--");
    EXPECT_EQ(panel("distance_label"), "--");
    EXPECT_EQ(panel("intensity_label"), "--");
    EXPECT_FALSE(anyNear(lastFrame(), x * 0.6, y * 0.6, 2, is(255, 255, 0)));
}

TEST_F(ControlTest, PanelsArePlacedAtTheEdgesOnResize)
{
    view_->resize(1000, 700);
    QTRY_COMPARE(view_->size(), QSize(1000, 700));
    QWidget* info = view_->infoWidget();
    QWidget* legend = view_->colorLabel();
    EXPECT_EQ(info->geometry(), QRect(QPoint(0, 700 - info->height()), info->size()));
    EXPECT_EQ(legend->geometry(),
              QRect(QPoint(1000 - legend->width(), 700 - 100 - legend->height()), legend->size()));
    EXPECT_EQ(view_->resetWidget()->pos(), QPoint(0, 0));
    auto* plate = view_->findChild<QWidget*>("logo");
    ASSERT_NE(plate, nullptr);
    EXPECT_EQ(plate->geometry(), QRect(1000 - 177, 700 - 37, 177, 37));
}
