#include "window_fixture.h"

#include "kes_view/lidargl_widget.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>

#include <numeric>

namespace {

uint32_t totalRequests(const kes_sim::LidarSimulator& sim)
{
    const auto counts = sim.snapshot().request_counts;
    return std::accumulate(counts.begin(), counts.end(), 0u,
                           [](uint32_t sum, const auto& entry) { return sum + entry.second; });
}

} // namespace

using WindowStream = WindowFixture;

TEST_F(WindowStream, ClosingTheWindowWhileStreamingStopsEveryDeviceThread)
{
    startSimulator();
    emit logic()->sendIP("127.0.0.1");
    EXPECT_EQ(child<QLineEdit>("lineEdit")->text(), "127.0.0.1");
    QTest::mouseClick(child<QToolButton>("switchButton"), Qt::LeftButton);
    QSignalSpy swaps(child<LidarGLWidget>("openGLWidget"), &QOpenGLWidget::frameSwapped);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic()->connected_ && swaps.count() >= 3; }, 10000));

    QElapsedTimer closing;
    closing.start();
    window_->close();
    window_.reset();
    EXPECT_LT(closing.elapsed(), 5000);

    // The information thread polls every 500 ms; nothing may still be talking after it.
    const uint32_t settled = totalRequests(*sim_);
    QTest::qWait(1200);
    EXPECT_EQ(totalRequests(*sim_), settled);
}
