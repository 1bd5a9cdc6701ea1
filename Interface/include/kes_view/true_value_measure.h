#pragma once

#include "kes_view/measure_records.h"

#include <kes_measure_config/true_target.h>

#include <cstdint>
#include <vector>

// One valid point of a frame: device angle (degrees), distance (metres), intensity.
struct TruePoint {
    float angle = 0;
    float distance = 0;
    float intensity = 0;
};

// Index of the point whose angle is nearest to `angle`, searching the list as rising angles;
// -1 for an empty list.
int nearestAngleIndex(const std::vector<TruePoint>& points, double angle);

// Per target, the values one revolution contributed: normally one, none for a frame without
// a point there, two for two points at the same angle.
using TargetValues = std::vector<std::vector<double>>;

struct TrueEvaluation {
    std::vector<TrueResult> results;
    bool all_ok = true;
};

// Average, error, repeatability, extremes and intensity per target over every value the
// revolutions gave it; a target without any value is NG with zeros.
TrueEvaluation evaluateTargets(const std::vector<TrueTarget>& targets, const std::vector<TargetValues>& distances,
                               const std::vector<TargetValues>& intensities, float ab_threshold, float re_threshold);

// An empty configuration row (angle and true value 0) reports zeros whatever was measured.
void blankEmptyRows(const std::vector<TrueTarget>& targets, std::vector<TrueResult>& results);

// The true-value test: 100 revolutions of the distance seen at each configured angle.
class TrueValueMeasure {
public:
    static constexpr int32_t kRounds = 100;

    void start(const std::vector<TrueTarget>& targets);
    void addPoint(float angle, float distance, float intensity);
    // Counts the revolution that just closed and returns its number.
    int32_t countRound();
    // Takes this revolution's values per target; true when it was the last one.
    bool finishRound();
    // Ends the test with the results of all its revolutions in true_results_.
    void evaluate(float ab_threshold, float re_threshold);
    void clearRounds();
    void clearPoints() { true_points_.clear(); }

    bool true_measuring_ = false;
    int32_t true_round_ = 0;
    std::vector<TrueTarget> true_targets_;
    std::vector<TruePoint> true_points_;
    std::vector<TargetValues> true_dist_rounds_;
    std::vector<TargetValues> true_int_rounds_;
    std::vector<TrueResult> true_results_;
    bool true_all_ok_ = false;
};
