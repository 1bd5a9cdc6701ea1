#include "kes_view/glyph_atlas.h"
#include "view_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

class RenderTest : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        ASSERT_TRUE(view_->glReady());
        zoomTo(14.0f);
    }

    // Grey glyph pixels of the 5 m ring's label.
    int labelPixels(const QImage& image) const
    {
        return count(image, QRectF(pixelOf(5.05, 0.1), pixelOf(5.9, 0.55)).normalized().toRect(), 153, 153, 153, 6);
    }

    // Where point `index` of a measurement scene lies in the plane.
    static QPointF planeOf(const Revolution& blocks, size_t index)
    {
        const double d = blocks[index / kN - 1].layers[0].ranges[index % kN] * 0.002;
        const double theta = (pointAngle(index) - 90.0) * M_PI / 180.0;
        return {d * std::cos(theta), d * std::sin(theta)};
    }
};

TEST_F(RenderTest, GridRingsAndBlindSectorLieWhereTheCameraPutsThem)
{
    const QImage image = grab();
    ASSERT_EQ(image.size(), QSize(kW, kH));
    const double c = std::cos(M_PI / 5), s = std::sin(M_PI / 5);
    EXPECT_TRUE(anyNear(image, 2.5, 0.5, 0, 77, 77, 77, 1)) << "background";
    EXPECT_TRUE(ringAt(image)) << "5 m ring";
    EXPECT_FALSE(anyNear(image, 5.5 * c, 5.5 * s, 3, 255, 255, 255, 0)) << "beside the 5 m ring";
    EXPECT_TRUE(anyNear(image, c, s, 1, 102, 102, 102, 1)) << "1 m ring";
    EXPECT_TRUE(anyNear(image, 1, -4, 0, 153, 153, 153, 1)) << "blind sector";
    EXPECT_TRUE(anyNear(image, -4, 1, 0, 77, 77, 77, 1)) << "left of the sensor";
    EXPECT_TRUE(anyNear(image, 0, -4.5, 1, 255, 255, 255, 0)) << "vertical axis over the fan";
}

TEST_F(RenderTest, PointIsDrawnInTheColourOfItsModeAtItsPosition)
{
    const double theta = (deviceAngle(kN, 2, 84) - 90) * M_PI / 180;
    const double x = 3.5 * std::cos(theta), y = 3.5 * std::sin(theta);
    const Revolution revolution = revolutionWithPoint(kN, 2, 84, 1750, 100);
    const struct {
        uint32_t mode;
        int r, g, b;
    } modes[] = {{0, 0, 255, 110}, {2, 0, 178, 255}, {1, 0, 0, 255}};
    for (const auto& m : modes) {
        view_->receiveColorMode(m.mode);
        send(revolution);
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, x, y, 2, m.r, m.g, m.b)) << m.mode;
        EXPECT_FALSE(anyNear(image, -x, y, 3, m.r, m.g, m.b)) << "mirrored, mode " << m.mode;
    }
    view_->receieveDirChanged();
    EXPECT_FALSE(anyNear(grab(), x, y, 2, 0, 0, 255)) << "after a direction change";
}

// The font is found under a folder with a Chinese name too, as the file system spells it;
// without it the grid is drawn without labels.
TEST_F(RenderTest, LabelsAppearWithTheFontOnly)
{
    EXPECT_GT(labelPixels(grab()), 20);
    QTemporaryDir dir;
    const QString chinese = dir.filePath("点云工具/字体.otf");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(chinese).path()));
    ASSERT_TRUE(QFile::copy(viewFontPath(), chinese));
    view_ = makeView(chinese);
    zoomTo(14.0f);
    EXPECT_TRUE(kes_test::waitFor([&] { return labelPixels(screen(view_.get())) > 20; }, 3000));
    view_ = makeView("/nonexistent/HKGrotesk-Regular-9.otf");
    zoomTo(14.0f);
    const QImage image = grab();
    EXPECT_EQ(labelPixels(image), 0);
    EXPECT_TRUE(ringAt(image)) << "grid without labels";
}

// The logo's white plate covers its whole 177 x 37, margins included, over the grid.
TEST_F(RenderTest, LogoPlateIsWhiteToItsEdges)
{
    const QWidget* plate = view_->findChild<QWidget*>("logo");
    ASSERT_NE(plate, nullptr);
    EXPECT_TRUE(kes_test::waitFor(
        [&] {
            const QImage image = screen(plate);
            const int all = count(image, image.rect(), 255, 255, 255, 0);
            const int inner = count(image, image.rect().adjusted(3, 3, -3, -3), 255, 255, 255, 0);
            return image.size() == QSize(177, 37) && all - inner == 177 * 37 - 171 * 31;
        },
        3000));
}

// Repaints during the hold of an NG frame, as a zoom or a screen grab would cause, still show
// it in blue and its NG point in red; the seventh frame is live again.
TEST_F(RenderTest, TheNgFrameStaysOnScreenUntilTheHoldEnds)
{
    const size_t bad = kN * 3 + 40, good = kN * 2 + 60;
    const Revolution ng = room(250, bad, 280);
    const QPointF badAt = planeOf(ng, bad), goodAt = planeOf(ng, good);
    view_->startMeasure(270, 230, 100);
    for (int frame = 1; frame <= 6; ++frame) {
        send(frame == 1 ? ng : room(250));
        const QImage image = grab();
        EXPECT_TRUE(anyNear(image, badAt.x(), badAt.y(), 2, 255, 0, 0, 3)) << frame;
        EXPECT_TRUE(anyNear(image, goodAt.x(), goodAt.y(), 2, 0, 0, 255, 3)) << frame;
    }
    send(ng);
    const QImage image = grab();
    EXPECT_TRUE(anyNear(image, badAt.x(), badAt.y(), 2, 255, 220, 0, 3)) << "live, coloured by intensity";
    EXPECT_FALSE(anyNear(image, goodAt.x(), goodAt.y(), 2, 0, 0, 255, 3));
    view_.reset(); // joins the thread that saves the NG frame
    QDir(QCoreApplication::applicationDirPath() + "/MeasureData").removeRecursively();
}
