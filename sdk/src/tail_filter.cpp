#include "kes_sdk/tail_filter.h"

#include <cstdlib>

namespace kes_sdk {
namespace {

struct FrequencyParams {
    float p; // -sin of the angle step
    float q; // cos of the angle step
    int jump;
};

struct LevelParams {
    float tangent;
    int need;
};

bool frequencyParams(uint32_t hz, FrequencyParams& out)
{
    switch (hz) {
    case 10: out = {-0.00207344978f, 0.999997854f, 15}; return true;
    case 15: out = {-0.00311017176f, 0.999995172f, 30}; return true;
    case 20: out = {-0.00414689025f, 0.999991417f, 25}; return true;
    case 25: out = {-0.00518360455f, 0.999986589f, 35}; return true;
    case 30: out = {-0.00622031325f, 0.999980628f, 40}; return true;
    default: return false;
    }
}

LevelParams levelParams(uint32_t level)
{
    switch (level) {
    case 1: return {0.0524077788f, 3};
    case 2: return {0.0524077788f, 2};
    case 3: return {0.0962890461f, 2};
    case 4: return {0.158384442f, 2};
    case 5: return {0.158384442f, 1};
    default: return {0.0f, 0};
    }
}

// Whether neighbour range `r` lies on the grazing line through `d`.
inline bool onGrazingLine(float pd, float qd, uint16_t r, float tangent)
{
    const float denominator = float(r) - qd;
    if (denominator == 0.0f)
        return false;
    const float t = pd / denominator;
    return -tangent < t && t < tangent;
}

} // namespace

void applyTailFilter(std::vector<uint16_t>& ranges, uint32_t filterLevel, uint32_t scanFrequencyHz)
{
    const size_t n = ranges.size();
    FrequencyParams f;
    if (filterLevel == 0 || n < 7 || !frequencyParams(scanFrequencyHz, f))
        return;
    const LevelParams lv = levelParams(filterLevel);
    const bool wide = filterLevel <= 5;
    const std::vector<uint16_t> s = ranges;
    for (size_t i = 3; i + 4 <= n; ++i) {
        const int d = s[i];
        if (d == 0)
            continue;
        if (std::abs(d - s[i + 1]) < f.jump && d > 500 && std::abs(d - s[i - 1]) < f.jump)
            continue;
        const float pd = f.p * float(d);
        const float qd = f.q * float(d);
        int before = 0;
        int after = 0;
        for (size_t k = 1; k <= 3; ++k) {
            before += onGrazingLine(pd, qd, s[i - k], lv.tangent);
            after += onGrazingLine(pd, qd, s[i + k], lv.tangent);
        }
        if (before < lv.need && after < lv.need)
            continue;
        ranges[i] = 0;
        if (wide) {
            ranges[i - 1] = 0;
            ranges[i + 1] = 0;
        }
    }
}

} // namespace kes_sdk
