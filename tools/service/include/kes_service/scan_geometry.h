#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace kes_service {

// Where the view puts point j of a block with identifier `block_id` when a block holds n
// points: device angle (n * id + j) * 270 / (6n - 1) degrees, in single precision as drawn.
inline float deviceAngleDeg(size_t n, unsigned block_id, size_t j)
{
    const float step = 270.0f / float(uint32_t(6 * n - 1));
    return float(n * block_id + j) * step;
}

struct PlanePoint {
    float x = 0; // metres, right
    float y = 0; // metres, up
};

// Device angle 0 points down, 90 right, 180 up; `raw` is the range in 2 mm counts.
inline PlanePoint planePoint(float angle_deg, uint16_t raw)
{
    const float d = float(raw) * 0.002f;
    const float theta = (angle_deg - 90.0f) / 180.0f * float(M_PI);
    return {d * std::cos(theta), d * std::sin(theta)};
}

} // namespace kes_service
