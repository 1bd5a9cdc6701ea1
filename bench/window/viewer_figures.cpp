#include "operator_drive.h"

#include "kes_logic/lidar_logic.h"
#include "kes_resources/view_resources.h"
#include "kes_view/lidargl_widget.h"
#include "kes_window/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <future>

namespace {

// User plus system time of this process in seconds.
double cpuSeconds()
{
    QFile stat("/proc/self/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

QByteArray residentMemory()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified();
    return {};
}

// Frames drawn with points, counted per report interval.
struct FrameCounter {
    int frames = 0;
    qint64 first_frame_ms = -1;
};

void countFrames(LidarGLWidget* view, const QElapsedTimer& sinceClick, FrameCounter& counter)
{
    QObject::connect(view, &QOpenGLWidget::frameSwapped, view, [view, &sinceClick, &counter] {
        if (view->drawVertices().empty())
            return;
        ++counter.frames;
        if (counter.first_frame_ms < 0)
            counter.first_frame_ms = sinceClick.elapsed();
    });
}

bool setFrequency(LidarLogic* logic, int hz)
{
    logic->scan_frequency_ = hz;
    auto done = std::async(std::launch::async, [logic] { return logic->applyScanFrequency(); });
    const bool answered =
        QTest::qWaitFor([&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    return answered && done.get();
}

// CPU share and memory since the start of the run, frames per second since the last report.
void report(qint64 wallMs, double cpu0, FrameCounter& counter, qint64 intervalMs)
{
    const double share = (cpuSeconds() - cpu0) / (double(wallMs) / 1000.0);
    std::printf("t=%llds cpu=%.1f%% of one core rss=%s fps=%.1f\n", (long long)(wallMs / 1000), share * 100,
                residentMemory().constData(), counter.frames * 1000.0 / double(intervalMs));
    std::fflush(stdout);
    counter.frames = 0;
}

} // namespace

// Connects the viewer to the simulator on 127.0.0.1:2007 the way the README tells, sets
// 30 Hz, and reports CPU share, memory and drawn frames per second every minute for
// argv[1] seconds, after the time from the connect click to the first drawn frame.
int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QApplication app(argc, argv);
    initViewResources();
    kes_test::PromptScript boxes;
    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || !enterAddressLikeAnOperator(window, boxes, "127.0.0.1"))
        return 1;
    auto* view = window.findChild<LidarGLWidget*>("openGLWidget");
    FrameCounter counter;
    QElapsedTimer sinceClick;
    countFrames(view, sinceClick, counter);
    sinceClick.start();
    if (!clickConnect(window) || !QTest::qWaitFor([&] { return counter.first_frame_ms >= 0; }, 10000))
        return 1;
    std::printf("connect click to first drawn frame: %lld ms\n", (long long)counter.first_frame_ms);
    // Zoomed out until the simulator's room (walls 2 to 5 m) fits.
    auto* narrow = view->findChild<QToolButton*>("narrowButton");
    while (view->zoom() < 14.0f)
        QTest::mouseClick(narrow, Qt::LeftButton);
    if (!setFrequency(window.logic(), 30))
        return 1;

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    counter.frames = 0;
    qint64 last = 0;
    const qint64 intervalMs = 60000;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        report(wall.elapsed(), cpu0, counter, wall.elapsed() - last);
        last = wall.elapsed();
        if (wall.elapsed() >= seconds * 1000LL)
            app.quit();
    });
    tick.start(int(std::min<qint64>(intervalMs, seconds * 1000LL)));
    return app.exec();
}
