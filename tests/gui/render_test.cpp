#include "view_fixture.h"

namespace {

constexpr size_t kN = 378;

int countInBox(const QImage& image, const QPointF& a, const QPointF& b,
               const std::function<bool(QColor)>& match)
{
    int count = 0;
    const QRect box = QRectF(a, b).normalized().toRect();
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            count += match(QColor(image.pixel(x, y))) ? 1 : 0;
    return count;
}

} // namespace

class RenderTest : public ViewFixture {
protected:
    void SetUp() override
    {
        ViewFixture::SetUp();
        ASSERT_TRUE(view_->glReady());
        zoomTo(14.0f);
    }

    int labelPixels(const QImage& image) const
    {
        return countInBox(image, pixelOf(5.05, 0.1), pixelOf(5.9, 0.55), is(153, 153, 153, 6));
    }
};

TEST_F(RenderTest, GridRingsAndBlindSectorLieWhereTheCameraPutsThem)
{
    const QImage image = grab();
    ASSERT_EQ(image.size(), QSize(kW, kH));
    const double c = std::cos(36 * M_PI / 180), s = std::sin(36 * M_PI / 180);
    EXPECT_TRUE(anyNear(image, 2.5, 0.5, 0, is(77, 77, 77, 1))) << "background";
    EXPECT_TRUE(anyNear(image, 5 * c, 5 * s, 1, is(255, 255, 255, 0))) << "5 m ring";
    EXPECT_FALSE(anyNear(image, 5.5 * c, 5.5 * s, 3, is(255, 255, 255, 0))) << "beside the 5 m ring";
    EXPECT_TRUE(anyNear(image, c, s, 1, is(102, 102, 102, 1))) << "1 m ring";
    EXPECT_TRUE(anyNear(image, 1, -4, 0, is(153, 153, 153, 1))) << "blind sector";
    EXPECT_TRUE(anyNear(image, -4, 1, 0, is(77, 77, 77, 1))) << "left of the sensor";
    EXPECT_TRUE(anyNear(image, 0, -4.5, 1, is(255, 255, 255, 0))) << "vertical axis over the fan";
}

TEST_F(RenderTest, PointIsDrawnInTheColourOfItsModeAtItsPosition)
{
    const double a = deviceAngle(kN, 2, 252);
    const double theta = (a - 90) * M_PI / 180;
    const double x = 3.5 * std::cos(theta), y = 3.5 * std::sin(theta);
    const auto revolution = revolutionWithPoint(kN, 2, 252, 1750, 100);

    sendRevolution(revolution);
    QImage image = grab();
    EXPECT_TRUE(anyNear(image, x, y, 2, is(0, 255, 110))) << "intensity mode";
    EXPECT_FALSE(anyNear(image, -x, y, 3, is(0, 255, 110))) << "mirrored";

    view_->receiveColorMode(2);
    sendRevolution(revolution);
    image = grab();
    EXPECT_TRUE(anyNear(image, x, y, 2, is(0, 178, 255))) << "distance mode";

    view_->receiveColorMode(1);
    sendRevolution(revolution);
    image = grab();
    EXPECT_TRUE(anyNear(image, x, y, 2, is(0, 0, 255))) << "single colour";

    view_->receieveDirChanged();
    image = grab();
    EXPECT_FALSE(anyNear(image, x, y, 2, is(0, 0, 255))) << "after a direction change";
}

TEST_F(RenderTest, LabelsAppearWithTheFontOnly)
{
    EXPECT_GT(labelPixels(grab()), 20);
    view_ = makeView("/nonexistent/HKGrotesk-Regular-9.otf");
    zoomTo(14.0f);
    const QImage image = grab();
    EXPECT_EQ(labelPixels(image), 0);
    const double c = std::cos(36 * M_PI / 180), s = std::sin(36 * M_PI / 180);
    EXPECT_TRUE(anyNear(image, 5 * c, 5 * s, 1, is(255, 255, 255, 0))) << "grid without labels";
}
