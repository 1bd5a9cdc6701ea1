#pragma once

#include <QVector3D>

#include <cstdint>

// Colour modes as sent by LidarLogic::sendColorMode.
enum : uint32_t { kColourIntensity = 0, kColourSingle = 1, kColourDistance = 2 };

// Red, green, blue in 0..1. Distance and intensity both ramp blue, cyan, green, yellow, red
// over four equal bands (0..20 m, 0..255); unknown modes colour by intensity.
QVector3D pointColour(uint32_t mode, float intensity, float distance);
