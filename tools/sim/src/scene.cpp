#include "kes_sim/scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kes_sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFieldOfViewDeg = 270.0;
constexpr double kForwardDeg = 135.0; // device angle of the +x axis
constexpr double kMetresPerCount = 0.002;
constexpr double kPostSpeed = 2 * kPi / 20.0; // one lap in 20 s
constexpr double kReflectorHalfWidth = 0.3;   // on the front wall, around y = 0
constexpr double kWindowFrom = 1.0;           // a gap in the left wall, in x
constexpr double kWindowTo = 1.3;
constexpr uint8_t kPostIntensity = 160;
constexpr uint8_t kTailIntensity = 30;

uint64_t mix(uint64_t x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ull;
    return x ^ (x >> 33);
}

uint16_t toCounts(double metres)
{
    return uint16_t(std::clamp(metres / kMetresPerCount + 0.5, 1.0, 65535.0));
}

struct WallHit {
    double range;
    uint8_t intensity;
};

WallHit hitWall(double c, double s)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double front = c > 0 ? room::kFront / c : inf;
    const double back = c < 0 ? room::kBack / -c : inf;
    const double left = s > 0 ? room::kLeft / s : inf;
    const double right = s < 0 ? room::kRight / -s : inf;
    const double r = std::min({front, back, left, right});
    if (r == front)
        return {r, std::abs(r * s) < kReflectorHalfWidth ? kReflectorIntensity : uint8_t(80)};
    if (r == left) {
        const double x = r * c;
        return {x > kWindowFrom && x < kWindowTo ? 0.0 : r, 60};
    }
    return {r, uint8_t(r == right ? 70 : 50)};
}

// Distance along the unit ray (c, s) to the post centred at (px, py), or 0 when it misses.
double hitPost(double c, double s, double px, double py)
{
    const double b = c * px + s * py;
    const double disc = b * b - (px * px + py * py - room::kPostRadius * room::kPostRadius);
    return disc < 0 || b <= 0 ? 0.0 : b - std::sqrt(disc);
}

// A standard normal value drawn from a hash (Box-Muller), so a seed repeats the noise.
double gaussian(uint64_t h)
{
    const double u1 = (double(mix(h ^ 0x9E3779B97F4A7C15ull) >> 11) + 1.0) / 9007199254740993.0;
    const double u2 = double(mix(h ^ 0xD1B54A32D192ED03ull) >> 11) / 9007199254740992.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * kPi * u2);
}

} // namespace

Scene::Scene(uint32_t seed, double noise_mm)
    : seed_(seed), noise_m_(noise_mm / 1000.0), post_phase_(double(mix(seed) % 360) * kPi / 180.0)
{
}

double Scene::deviceAngleDeg(size_t i, size_t n)
{
    return double(i) * kFieldOfViewDeg / double(6 * n - 1);
}

double Scene::postAngleDeg(double t) const
{
    const double deg = (post_phase_ + kPostSpeed * t) * 180.0 / kPi + kForwardDeg;
    return std::fmod(deg, 360.0);
}

const std::vector<Scene::Ray>& Scene::rays(size_t n)
{
    std::vector<Ray>& table = rays_[n];
    if (table.empty()) {
        table.resize(6 * n);
        for (size_t i = 0; i < table.size(); ++i) {
            const double a = (deviceAngleDeg(i, n) - kForwardDeg) * kPi / 180.0;
            const double c = std::cos(a);
            const double s = std::sin(a);
            const WallHit wall = hitWall(c, s);
            table[i] = {c, s, wall.range, wall.intensity};
        }
    }
    return table;
}

void Scene::sweep(double t, size_t n, bool reversed, std::vector<ScanPoint>& out)
{
    const std::vector<Ray>& table = rays(n);
    const size_t count = table.size();
    const double post = post_phase_ + kPostSpeed * t;
    const double px = room::kPostOrbit * std::cos(post);
    const double py = room::kPostOrbit * std::sin(post);
    const uint64_t tick = mix(uint64_t(seed_) << 32 ^ uint64_t(std::llround(t * 1000.0)));
    out.resize(count);
    on_post_.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const Ray& ray = table[i];
        const uint64_t h = mix(tick + i);
        const double onPost = hitPost(ray.c, ray.s, px, py);
        on_post_[i] = onPost > 0;
        const double r = on_post_[i] ? onPost : ray.wall_range;
        const bool dropout = h % 397 == 0; // about one return in 400 goes missing
        if (r == 0 || dropout)
            out[i].range = 0;
        else if (noise_m_ > 0)
            out[i].range = toCounts(r + noise_m_ * gaussian(h));
        else
            out[i].range = uint16_t(toCounts(r) + int(h >> 8 & 3) - 1);
        const int intensity = (on_post_[i] ? kPostIntensity : ray.wall_intensity) + int(h >> 16 & 7);
        out[i].intensity = out[i].range == 0 ? 0 : uint8_t(std::min(intensity, 255));
    }
    addTails(tick, out);
    if (reversed)
        std::reverse(out.begin(), out.end());
}

void Scene::addTails(uint64_t tick, std::vector<ScanPoint>& out) const
{
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (on_post_[i] == on_post_[i + 1])
            continue;
        const bool rising = on_post_[i + 1];
        const long edge = long(rising ? i + 1 : i);
        const long step = rising ? -1 : 1;
        const int length = 1 + int(mix(tick ^ i) & 1);
        const double near = out[size_t(edge)].range;
        if (near == 0)
            continue;
        for (int m = 1; m <= length; ++m) {
            const long j = edge + step * m;
            if (j < 0 || size_t(j) >= out.size() || on_post_[size_t(j)] || out[size_t(j)].range == 0)
                break;
            ScanPoint& p = out[size_t(j)];
            p.range = uint16_t(near + (p.range - near) * m / (length + 1));
            p.intensity = kTailIntensity;
        }
    }
}

} // namespace kes_sim
