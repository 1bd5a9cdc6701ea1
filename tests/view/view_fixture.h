#pragma once

#include "kes_view/lidargl_widget.h"
#include "scan_blocks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <memory>

// A shown view of 800 x 600 under the virtual display, with pixel functions that place world
// points by the camera's own definition (45 degree field of view, height = zoom).
class ViewFixture : public ::testing::Test {
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
        const double half = std::tan(22.5 * M_PI / 180.0) * view_->zoom();
        const double perMetre = (kH / 2.0) / half;
        return {kW / 2.0 + (x - view_->panX()) * perMetre, kH / 2.0 - (y - view_->panY()) * perMetre};
    }

    // Whether a pixel within `radius` of the world point matches.
    bool anyNear(const QImage& image, double x, double y, int radius, const std::function<bool(QColor)>& match) const
    {
        const QPointF p = pixelOf(x, y);
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                const QPoint q(int(std::lround(p.x())) + dx, int(std::lround(p.y())) + dy);
                if (image.rect().contains(q) && match(QColor(image.pixel(q))))
                    return true;
            }
        }
        return false;
    }

    static std::function<bool(QColor)> is(int r, int g, int b, int tolerance = 2)
    {
        return [=](QColor c) {
            return std::abs(c.red() - r) <= tolerance && std::abs(c.green() - g) <= tolerance
                   && std::abs(c.blue() - b) <= tolerance;
        };
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
        return swapped.count() > 0 || swapped.wait(2000);
    }

    void sendRevolution(const std::vector<kes_sdk::ScanBlockData>& blocks)
    {
        for (const auto& block : blocks)
            view_->receiveBlock(block);
    }

    void moveMouse(QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent move(QEvent::MouseMove, pos, view_->mapToGlobal(pos), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(view_.get(), &move);
    }

    void sendEnterLeave(QEvent::Type type)
    {
        QEvent event(type);
        QApplication::sendEvent(view_.get(), &event);
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
