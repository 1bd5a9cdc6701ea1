#include "kes_resources/view_resources.h"
#include "kes_view/lidargl_widget.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTest>

#include <memory>
#include <vector>

namespace {

constexpr size_t kPointsPerBlock = 378;

std::vector<kes_sdk::ScanBlockData> revolution()
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    for (uint8_t id = 1; id <= 6; ++id) {
        kes_sdk::ScanBlockData block;
        block.block_id = id;
        kes_sdk::ScanLayer layer;
        for (size_t j = 0; j < kPointsPerBlock; ++j) {
            layer.ranges.push_back(uint16_t(500 + (j * 37 + id * 11) % 2500));
            layer.intensities.push_back(uint8_t((j * 13 + id) % 256));
        }
        block.layers.push_back(layer);
        blocks.push_back(block);
    }
    return blocks;
}

// Exposes one paint, finished on the GPU side, to the benchmark.
class PaintedView : public LidarGLWidget {
public:
    void paintOnce()
    {
        makeCurrent();
        paintGL();
        context()->functions()->glFinish();
        doneCurrent();
    }
};

// Hidden: the sixth block's synchronous repaint does nothing, so only assembly is timed.
void BM_ReceiveRevolution(benchmark::State& state)
{
    LidarGLWidget view;
    view.receiveColorMode(uint32_t(state.range(0)));
    const auto blocks = revolution();
    for (auto _ : state) {
        for (const auto& block : blocks)
            view.receiveBlock(block);
        benchmark::DoNotOptimize(view.drawVertices().data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(6 * kPointsPerBlock));
}
BENCHMARK(BM_ReceiveRevolution)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

// Arg 0: grid and labels only; 1: with a full revolution of points; 2: grid without labels.
void BM_Paint(benchmark::State& state)
{
    PaintedView view;
    if (state.range(0) == 2)
        view.setFontPath("/nonexistent.otf");
    view.resize(1300, 740);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view) || !view.glReady()) {
        state.SkipWithError("no OpenGL 4.1 compatibility context");
        return;
    }
    for (int z = 0; z < 14; ++z)
        view.zoomOut();
    if (state.range(0) == 1) {
        for (const auto& block : revolution())
            view.receiveBlock(block);
    }
    for (auto _ : state)
        view.paintOnce();
}
BENCHMARK(BM_Paint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    initViewResources();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
