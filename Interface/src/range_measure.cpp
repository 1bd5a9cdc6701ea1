#include "kes_view/range_measure.h"

#include <cmath>

namespace {

constexpr int32_t kHoldFrames = 6;

float sinDegrees(float degrees)
{
    return std::sin(degrees * 3.14159265358979f / 180.0f);
}

} // namespace

float projectionFactor(float a)
{
    if (a == 0.0f || (a > 0.0f && a <= 45.0f))
        return sinDegrees(90.0f - a);
    if (a > 45.0f && a <= 90.0f)
        return sinDegrees(a);
    if (a > 90.0f && a <= 135.0f)
        return sinDegrees(180.0f - a);
    if (a > 135.0f && a <= 180.0f)
        return sinDegrees(a - 90.0f);
    if (a > 180.0f && a <= 225.0f)
        return sinDegrees(270.0f - a);
    if (a > 225.0f && a <= 270.0f)
        return sinDegrees(a - 180.0f);
    if (a > 270.0f && a <= 315.0f)
        return sinDegrees(360.0f - a);
    if (a > 315.0f && a <= 360.0f)
        return sinDegrees(a - 270.0f);
    return 0.0f;
}

void RangeMeasure::start(int max, int min, int rounds)
{
    measure_max_ = max;
    measure_min_ = min;
    measure_rounds_ = rounds;
    measuring_ = true;
}

bool RangeMeasure::collect(float a, float d, float x, float y)
{
    const float f = projectionFactor(a);
    const float v = d * 1000.0f * f;
    const MeasureRecord record{a, f, v / 1000.0f, d};
    total_data_.push_back(record);
    point_ok_ = !(v > float(measure_max_) || v < float(measure_min_));
    if (!point_ok_) {
        ng_data_.push_back(record);
        live_display_ = false;
    }
    if (cur_round_ == measure_rounds_) {
        finish();
        return true;
    }
    measure_vertices_.emplace_back(x, y, 0.0f);
    measure_colors_.push_back(point_ok_ ? QVector3D(0, 0, 1) : QVector3D(1, 0, 0));
    return false;
}

void RangeMeasure::finish()
{
    cur_round_ = 0;
    measuring_ = false;
    live_display_ = true;
    total_data_.clear();
    ng_data_.clear();
}

RangeMeasure::Publish RangeMeasure::publication() const
{
    if (live_display_)
        return Publish::Live;
    return hold_count_ == 0 ? Publish::Measured : Publish::Nothing;
}

RangeMeasure::FrameEnd RangeMeasure::endFrame()
{
    FrameEnd end;
    if (measuring_ && hold_count_ == 0) {
        end.round = ++cur_round_;
    }
    if (!live_display_) {
        ++hold_count_;
        cur_round_ = 0;
        end.held = true;
        end.screenshot = hold_count_ == kHoldFrames;
    }
    if (hold_count_ == kHoldFrames) {
        measuring_ = false;
        live_display_ = true;
        hold_count_ = 0;
    } else if (hold_count_ == 1) {
        total_save_ = total_data_;
        ng_save_ = ng_data_;
        end.save = true;
    }
    total_data_.clear();
    ng_data_.clear();
    return end;
}

void RangeMeasure::clearFrame()
{
    measure_vertices_.clear();
    measure_colors_.clear();
}
