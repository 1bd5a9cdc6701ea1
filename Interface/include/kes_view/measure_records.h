#pragma once

#include <cstdint>

// One point of a range test: device angle (degrees), projection factor, perpendicular
// distance d * f (metres) and measured distance d (metres).
struct MeasureRecord {
    float angle = 0;
    float factor = 0;
    float disVal = 0;
    float distance = 0;
};

// The evaluation of one true-value target, each number rounded to 3 decimals.
struct TrueResult {
    double average = 0;
    double absolute_error = 0;
    double relative_error = 0;
    double minimum = 0;
    double maximum = 0;
    uint8_t ok = 0;
    double intensity = 0;
};
