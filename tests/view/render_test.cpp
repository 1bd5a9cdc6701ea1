#include "kes_view/glyph_atlas.h"
#include "view_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr size_t kN = 378;

int countInBox(const QImage& image, const QPointF& a, const QPointF& b, const std::function<bool(QColor)>& match)
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

// The font is found under a folder with a Chinese name too, as the file system spells it.
TEST_F(RenderTest, LabelsAppearWithTheFontOnly)
{
    EXPECT_GT(labelPixels(grab()), 20);
    QTemporaryDir dir;
    const QString chinese = dir.filePath(QStringLiteral("点云工具/字体.otf"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(chinese).path()));
    ASSERT_TRUE(QFile::copy(viewFontPath(), chinese));
    view_ = makeView(chinese);
    zoomTo(14.0f);
    EXPECT_TRUE(QTest::qWaitFor([&] { return labelPixels(screen(view_.get())) > 20; }, 3000));

    view_ = makeView("/nonexistent/HKGrotesk-Regular-9.otf");
    zoomTo(14.0f);
    const QImage image = grab();
    EXPECT_EQ(labelPixels(image), 0);
    const double c = std::cos(36 * M_PI / 180), s = std::sin(36 * M_PI / 180);
    EXPECT_TRUE(anyNear(image, 5 * c, 5 * s, 1, is(255, 255, 255, 0))) << "grid without labels";
}

// The logo's white plate covers its whole 177 x 37, margins included, over the grid.
TEST_F(RenderTest, LogoPlateIsWhiteToItsEdges)
{
    const QWidget* plate = view_->findChild<QWidget*>(QStringLiteral("logo"));
    ASSERT_NE(plate, nullptr);
    const auto edgesWhite = [&] {
        const QImage image = screen(plate);
        int white = 0, edge = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (x < 3 || y < 3 || x >= image.width() - 3 || y >= image.height() - 3) {
                    ++edge;
                    white += image.pixel(x, y) == qRgb(255, 255, 255) ? 1 : 0;
                }
        return image.size() == QSize(177, 37) && white == edge;
    };
    EXPECT_TRUE(QTest::qWaitFor(edgesWhite, 3000));
}
