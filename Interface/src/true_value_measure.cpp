#include "kes_view/true_value_measure.h"

#include <QDebug>
#include <QString>

#include <cmath>

namespace {

constexpr double kNearestTrueValue = 0.1;
constexpr double kFarthestTrueValue = 20.0;

double rounded(double value)
{
    return QString::number(value, 'f', 3).toDouble();
}

struct Samples {
    std::vector<float> distances;
    std::vector<float> intensities;
};

Samples samplesOf(size_t target, const std::vector<TargetValues>& distances,
                  const std::vector<TargetValues>& intensities)
{
    Samples s;
    for (const TargetValues& round : distances)
        if (target < round.size())
            s.distances.insert(s.distances.end(), round[target].begin(), round[target].end());
    for (const TargetValues& round : intensities)
        if (target < round.size())
            s.intensities.insert(s.intensities.end(), round[target].begin(), round[target].end());
    return s;
}

TrueResult statistics(const Samples& s, double true_value)
{
    const auto n = float(s.distances.size());
    float sum = 0;
    float minimum = s.distances.front();
    float maximum = 0;
    for (float x : s.distances) {
        sum += x;
        minimum = std::min(minimum, x);
        maximum = std::max(maximum, x);
    }
    const float average = sum / n;
    float squares = 0;
    for (float x : s.distances)
        squares += (x - average) * (x - average);
    float intensity = 0;
    for (float i : s.intensities)
        intensity += i;
    TrueResult r;
    r.average = average;
    r.absolute_error = average - true_value;
    r.relative_error = std::sqrt(squares / n);
    r.minimum = minimum;
    r.maximum = maximum;
    r.intensity = intensity / n;
    return r;
}

bool withinLimits(const TrueResult& r, double true_value, float ab, float re)
{
    if (true_value < kNearestTrueValue || true_value > kFarthestTrueValue)
        return false;
    return !(std::fabs(r.absolute_error) > ab || std::fabs(r.relative_error) > re);
}

TrueResult roundedResult(const TrueResult& r)
{
    return {rounded(r.average),  rounded(r.absolute_error), rounded(r.relative_error),
            rounded(r.minimum),  rounded(r.maximum),        r.ok,
            rounded(r.intensity)};
}

} // namespace

int nearestAngleIndex(const std::vector<TruePoint>& points, double angle)
{
    if (points.empty())
        return -1;
    size_t k = 0;
    while (k < points.size() && !(points[k].angle > angle))
        ++k;
    if (k == points.size())
        return int(points.size() - 1);
    if (k == 0)
        return 0;
    const double after = std::fabs(points[k].angle - angle);
    const double before = std::fabs(points[k - 1].angle - angle);
    return int(after < before ? k : k - 1);
}

TrueEvaluation evaluateTargets(const std::vector<TrueTarget>& targets, const std::vector<TargetValues>& distances,
                               const std::vector<TargetValues>& intensities, float ab_threshold, float re_threshold)
{
    TrueEvaluation evaluation;
    for (size_t k = 0; k < targets.size(); ++k) {
        const Samples s = samplesOf(k, distances, intensities);
        TrueResult r;
        if (!s.distances.empty()) {
            r = statistics(s, targets[k].true_value);
            qDebug() << "absolute_error" << r.absolute_error;
            qDebug() << "relative_error" << r.relative_error;
            r.ok = withinLimits(r, targets[k].true_value, ab_threshold, re_threshold) ? 1 : 0;
        }
        evaluation.all_ok = evaluation.all_ok && r.ok;
        evaluation.results.push_back(roundedResult(r));
    }
    return evaluation;
}

void blankEmptyRows(const std::vector<TrueTarget>& targets, std::vector<TrueResult>& results)
{
    for (size_t i = 0; i < targets.size() && i < results.size(); ++i)
        if (targets[i].angle == 0 && targets[i].true_value == 0)
            results[i] = TrueResult{0, 0, 0, 0, 0, results[i].ok, 0};
}

void TrueValueMeasure::start(const std::vector<TrueTarget>& targets)
{
    true_targets_ = targets;
    true_measuring_ = true;
}

void TrueValueMeasure::addPoint(float angle, float distance, float intensity)
{
    true_points_.push_back({angle, distance, intensity});
}

int32_t TrueValueMeasure::countRound()
{
    return ++true_round_;
}

bool TrueValueMeasure::finishRound()
{
    TargetValues distances(true_targets_.size());
    TargetValues intensities(true_targets_.size());
    for (size_t t = 0; t < true_targets_.size(); ++t) {
        const int nearest = nearestAngleIndex(true_points_, true_targets_[t].angle);
        if (nearest < 0)
            continue;
        for (const TruePoint& p : true_points_) {
            if (p.angle == true_points_[size_t(nearest)].angle) {
                distances[t].push_back(p.distance);
                intensities[t].push_back(p.intensity);
            }
        }
    }
    true_dist_rounds_.push_back(std::move(distances));
    true_int_rounds_.push_back(std::move(intensities));
    return true_round_ == kRounds;
}

void TrueValueMeasure::evaluate(float ab_threshold, float re_threshold)
{
    true_measuring_ = false;
    true_round_ = 0;
    TrueEvaluation evaluation =
        evaluateTargets(true_targets_, true_dist_rounds_, true_int_rounds_, ab_threshold, re_threshold);
    true_results_ = std::move(evaluation.results);
    true_all_ok_ = evaluation.all_ok;
}

void TrueValueMeasure::clearRounds()
{
    true_dist_rounds_.clear();
    true_int_rounds_.clear();
}
