#include "kes_view/view_camera.h"

#include <QVector4D>

#include <cmath>

namespace view_camera {

float zoomedIn(float zoom)
{
    const float zoomed = zoom - (zoom > 1.0f ? 1.0f : 0.1f);
    return zoomed < kMinZoom ? kMinZoom : zoomed;
}

float zoomedOut(float zoom)
{
    return zoom + (zoom > 1.0f ? 1.0f : 0.1f);
}

QMatrix4x4 projection(float aspect)
{
    QMatrix4x4 m;
    m.perspective(45.0f, aspect, 0.001f, 1000.0f);
    return m;
}

QMatrix4x4 lookDown(float panX, float panY, float zoom)
{
    QMatrix4x4 m;
    m.lookAt(QVector3D(panX, panY, zoom), QVector3D(panX, panY, 0), QVector3D(0, 1, 0));
    return m;
}

QPointF planePoint(const QPointF& pixel, const QSize& size, const QMatrix4x4& projection, const QMatrix4x4& view,
                   float panX, float panY, float zoom)
{
    const float ndcX = 2.0f * float(pixel.x()) / float(size.width()) - 1.0f;
    const float ndcY = 1.0f - 2.0f * float(pixel.y()) / float(size.height());
    const QVector4D eye = projection.inverted() * QVector4D(ndcX, ndcY, -1.0f, 1.0f);
    QVector4D ray = view.inverted() * QVector4D(eye.x(), eye.y(), -1.0f, 0.0f);
    if (ray.w() != 0.0f)
        ray /= ray.w();
    return {panX + ray.x() * zoom, panY + ray.y() * zoom};
}

// Signed zero and the origin would make atan(x / y) undefined or flip its side.
float bearing(double x, double y)
{
    constexpr double kDeg = 180.0 / M_PI;
    if (x == 0.0 && y == 0.0)
        return 180.0f;
    if (y >= 0.0)
        return float(180.0 - std::atan(x / std::fabs(y)) * kDeg);
    if (x < 0.0)
        return float(360.0 - std::atan(x / y) * kDeg);
    return float(-std::atan(x / y) * kDeg);
}

float labelScaleFactor(float zoom)
{
    if (zoom < 30.0f)
        return 0.6f;
    if (zoom < 60.0f)
        return 0.5f;
    if (zoom < 100.0f)
        return 0.4f;
    if (zoom < 130.0f)
        return 0.3f;
    if (zoom < 150.0f)
        return 0.2f;
    return 0.1f;
}

} // namespace view_camera
