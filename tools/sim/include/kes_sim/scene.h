#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace kes_sim {

struct ScanPoint {
    uint16_t range = 0; // 2 mm counts, 0 = no return
    uint8_t intensity = 0;
};

// The room the device stands in: walls at these distances in metres along the device's axes.
// Device angle 135 degrees looks at the front wall, 45 at the right, 225 at the left.
namespace room {
constexpr double kFront = 5.0;
constexpr double kRight = 4.0;
constexpr double kLeft = 3.0;
constexpr double kBack = 2.0;
constexpr double kPostOrbit = 1.75;
constexpr double kPostRadius = 0.15;
} // namespace room

constexpr uint8_t kReflectorIntensity = 250;

// A deterministic synthetic scene: walls, a reflector strip, a post circling the device
// with mixed points at its edges, and a few missing returns.
class Scene {
public:
    // `noise_mm` > 0: Gaussian range noise of that standard deviation replaces the few
    // millimetres of jitter every return otherwise carries.
    explicit Scene(uint32_t seed, double noise_mm = 0.0);

    // One revolution of 6n points at scene time `t` seconds; `reversed` mirrors the sweep.
    void sweep(double t, size_t n, bool reversed, std::vector<ScanPoint>& out);

    // Device angle of point i of a 6n-point revolution.
    static double deviceAngleDeg(size_t i, size_t n);
    // Where the post stands at time t, as a device angle.
    double postAngleDeg(double t) const;

private:
    // A direction of the sweep and the static wall it meets.
    struct Ray {
        double c;
        double s;
        double wall_range;
        uint8_t wall_intensity;
    };

    const std::vector<Ray>& rays(size_t n);
    // Mixed points between the post's edges and the wall behind them.
    void addTails(uint64_t tick, std::vector<ScanPoint>& out) const;

    uint32_t seed_;
    double noise_m_;
    double post_phase_;
    std::map<size_t, std::vector<Ray>> rays_;
    std::vector<uint8_t> on_post_;
};

} // namespace kes_sim
