#pragma once

#include <cstddef>
#include <cstdint>

namespace kes_sdk {

// Where the points of a revolution lie, as the view draws them (single precision): the window
// and the service tools must place a point at the same angle.

// Degrees between neighbouring points when a block holds n points: 270 / (6n - 1), the
// divisor as unsigned 32-bit.
inline float angleStep(uint32_t n)
{
    return 270.0f / static_cast<float>(6u * n - 1u);
}

// Device angle of point j of the block with identifier `block_id`.
inline float pointAngleDeg(uint32_t n, unsigned block_id, size_t j)
{
    return static_cast<float>(n * block_id + j) * angleStep(n);
}

// Device angle 0 points down, 90 right, 180 up: the angle in the plane, radians from +x.
inline float planeAngle(float device_deg)
{
    return (device_deg - 90.0f) / 180.0f * 3.14159265358979f;
}

} // namespace kes_sdk
