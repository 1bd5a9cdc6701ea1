#include "kes_view/point_colour.h"

namespace {

// v in units of the full scale (20 m or 255): the same four-band ramp for both modes.
QVector3D ramp(float v, float full)
{
    const float band = full / 4;
    if (v <= band)
        return {0, 4 * v / full, 1};
    if (v <= 2 * band)
        return {0, 1, (full - 4 * (v - band)) / full};
    if (v <= 3 * band)
        return {4 * (v - 2 * band) / full, 1, 0};
    if (v <= full)
        return {1, (full - 4 * (v - 3 * band)) / full, 0};
    return {1, 0, 0};
}

} // namespace

QVector3D pointColour(uint32_t mode, float intensity, float distance)
{
    switch (mode) {
    case kColourSingle: return {0, 0, 1};
    case kColourDistance: return ramp(distance, 20.0f);
    default: return ramp(intensity, 255.0f);
    }
}
