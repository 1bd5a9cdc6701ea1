#include "measure_scenes.h"
#include "view_fixture.h"

#include <QDir>

namespace {

constexpr size_t kNgIndex = kN * 3 + 40;
constexpr size_t kOkIndex = kN * 2 + 60;

std::vector<kes_sdk::ScanBlockData> room(bool withNgPoint)
{
    return revolution([=](size_t k) { return wallRange(k, withNgPoint && k == kNgIndex ? 280.0 : 250.0); },
                      [](size_t) { return uint8_t(200); });
}

QPointF planeOf(const std::vector<kes_sdk::ScanBlockData>& blocks, size_t index)
{
    const double d = blocks[index / kN - 1].layers[0].ranges[index % kN] * 0.002;
    const double theta = (pointAngle(index) - 90.0) * M_PI / 180.0;
    return {d * std::cos(theta), d * std::sin(theta)};
}

} // namespace

class HoldRenderTest : public ViewFixture {
protected:
    bool shows(const QImage& image, const QPointF& p, int r, int g, int b) const
    {
        return anyNear(image, p.x(), p.y(), 2, is(r, g, b, 3));
    }
};

// Repaints during the hold, as a zoom or a screen grab would cause, still show the NG frame.
TEST_F(HoldRenderTest, TheNgFrameStaysOnScreenInBlueAndRedUntilTheHoldEnds)
{
    ASSERT_TRUE(view_->glReady());
    const auto ng = room(true);
    const QPointF bad = planeOf(ng, kNgIndex);
    const QPointF good = planeOf(ng, kOkIndex);
    view_->startMeasure(270, 230, 100);
    sendRevolution(ng);
    QImage image = grab();
    EXPECT_TRUE(shows(image, bad, 255, 0, 0));
    EXPECT_TRUE(shows(image, good, 0, 0, 255));

    for (int frame = 2; frame <= 6; ++frame) {
        sendRevolution(room(false));
        image = grab();
        EXPECT_TRUE(shows(image, bad, 255, 0, 0)) << frame;
        EXPECT_TRUE(shows(image, good, 0, 0, 255)) << frame;
    }
    sendRevolution(ng);
    image = grab();
    EXPECT_TRUE(shows(image, bad, 255, 220, 0)) << "live again, coloured by intensity";
    EXPECT_FALSE(shows(image, good, 0, 0, 255));
    view_.reset(); // joins the thread that saves the NG frame
    QDir(QCoreApplication::applicationDirPath() + "/MeasureData").removeRecursively();
}
