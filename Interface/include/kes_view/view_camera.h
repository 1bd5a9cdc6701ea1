#pragma once

#include <QMatrix4x4>
#include <QPointF>
#include <QSize>

// The camera looks straight down on the scan plane from height `zoom` over (panX, panY).
namespace view_camera {

constexpr float kMinZoom = 0.1f;

// One step of the zoom buttons and the wheel: whole metres above 1 m, tenths below.
float zoomedIn(float zoom);
float zoomedOut(float zoom);

QMatrix4x4 projection(float aspect);
QMatrix4x4 lookDown(float panX, float panY, float zoom);

// The point of the plane under a widget pixel.
QPointF planePoint(const QPointF& pixel, const QSize& size, const QMatrix4x4& projection, const QMatrix4x4& view,
                   float panX, float panY, float zoom);

// Device angle in degrees (0 down, 90 right, 180 up, 270 left) of a plane point; 180 at the origin.
float bearing(double x, double y);

// Label size factor: labels keep their screen size as the zoom grows, stepped down in bands.
float labelScaleFactor(float zoom);

} // namespace view_camera
