#pragma once

#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <kes_test/qt_support.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QSignalSpy>
#include <QWheelEvent>

#include <memory>

// A shown view of 800 x 600 under the virtual display, with pixel functions that place world
// points by the camera's own definition (45 degree field of view, height = zoom).
class ViewTest : public ::testing::Test {
protected:
    static constexpr int kW = 800;
    static constexpr int kH = 600;

    void SetUp() override { view_ = makeView(); }

    static std::unique_ptr<LidarGLWidget> makeView(const QString& fontPath = QString())
    {
        auto view = std::make_unique<LidarGLWidget>();
        if (!fontPath.isEmpty())
            view->setFontPath(fontPath);
        view->resize(kW, kH);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return view;
    }

    QImage grab() { return view_->grabFramebuffer().convertToFormat(QImage::Format_RGB32); }

    // What the X server shows of `widget`, as a person sees it (panels over the GL picture).
    static QImage screen(const QWidget* widget)
    {
        const QPoint corner = widget->mapToGlobal(QPoint(0, 0));
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, corner.x(), corner.y(), widget->width(), widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    // The picture of the last paint, read back without painting again.
    QImage lastFrame()
    {
        view_->makeCurrent();
        QImage image(kW, kH, QImage::Format_RGBA8888);
        QOpenGLContext::currentContext()->functions()->glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE,
                                                                    image.bits());
        view_->doneCurrent();
        return image.mirrored().convertToFormat(QImage::Format_RGB32);
    }

    QPointF pixelOf(double x, double y) const
    {
        const double perMetre = (kH / 2.0) / (std::tan(22.5 * M_PI / 180.0) * view_->zoom());
        return {kW / 2.0 + (x - view_->panX()) * perMetre, kH / 2.0 - (y - view_->panY()) * perMetre};
    }

    // How many pixels of colour (r, g, b) (within `tolerance`) lie in the box around the world
    // point, `radius` pixels each way, or between two world points.
    static int count(const QImage& image, QRect box, int r, int g, int b, int tolerance)
    {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = image.rect().contains(x, y) ? QColor(image.pixel(x, y)) : QColor(-1, -1, -1);
                n += std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance
                     && std::abs(c.blue() - b) <= tolerance;
            }
        return n;
    }
    bool anyNear(const QImage& image, double x, double y, int radius, int r, int g, int b, int tolerance = 2) const
    {
        const QPoint p = pixelOf(x, y).toPoint();
        return count(image, QRect(p - QPoint(radius, radius), p + QPoint(radius, radius)), r, g, b, tolerance) > 0;
    }
    // The 5 m ring at 36 degrees, white.
    bool ringAt(const QImage& image) const
    {
        return anyNear(image, 5 * std::cos(M_PI / 5), 5 * std::sin(M_PI / 5), 1, 255, 255, 255, 0);
    }

    void zoomTo(float zoom)
    {
        while (view_->zoom() < zoom - 0.01f)
            view_->zoomOut();
        while (view_->zoom() > zoom + 0.01f)
            view_->zoomIn();
    }

    // Whether `action` led to a paint reaching the window. The view repaints at once where Qt
    // lets it, but a window update already on its way makes Qt defer that paint to it.
    bool paintsAfter(const std::function<void()>& action)
    {
        QSignalSpy swapped(view_.get(), &QOpenGLWidget::frameSwapped);
        action();
        return swapped.count() > 0 || swapped.wait(kes_test::scaled(2000));
    }

    void send(const Revolution& blocks)
    {
        for (const auto& block : blocks)
            view_->receiveBlock(block);
    }

    void moveMouse(QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, pos, view_->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view_.get(), &move);
    }

    void wheel(int delta)
    {
        const QPointF pos(kW / 2.0, kH / 2.0);
        QWheelEvent event(pos, view_->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_.get(), &event);
    }

    std::unique_ptr<LidarGLWidget> view_;
};
