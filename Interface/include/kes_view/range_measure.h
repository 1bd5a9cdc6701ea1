#pragma once

#include "kes_view/measure_records.h"

#include <QVector3D>

#include <cstdint>
#include <vector>

// sin-based factor that turns a distance at device angle `a` into the perpendicular distance
// to a wall facing the sensor along the nearest main direction; 0 outside 0..360 degrees.
float projectionFactor(float a);

// The range test over whole revolutions: every collected point's perpendicular distance
// against [min, max] mm, and the six-frame hold of the first frame with a point outside.
class RangeMeasure {
public:
    enum class Publish { Live, Measured, Nothing };

    struct FrameEnd {
        int32_t round = 0;       // cur_round_ when it moved on, else 0
        bool held = false;       // a frame of the NG hold ended
        bool screenshot = false; // the hold's sixth frame
        bool save = false;       // the NG frame's records are ready in total_save_/ng_save_
    };

    void start(int max, int min, int rounds);
    // One valid point of a closing frame; true when it finished the measurement.
    bool collect(float a, float d, float x, float y);
    Publish publication() const;
    FrameEnd endFrame();
    void clearFrame();

    bool measuring_ = false;
    int32_t measure_max_ = 0;
    int32_t measure_min_ = 0;
    int32_t measure_rounds_ = 0;
    int32_t cur_round_ = 0;
    bool point_ok_ = true;
    bool live_display_ = true;
    int32_t hold_count_ = 0;
    std::vector<QVector3D> measure_vertices_;
    std::vector<QVector3D> measure_colors_;
    std::vector<MeasureRecord> total_data_;
    std::vector<MeasureRecord> ng_data_;
    std::vector<MeasureRecord> total_save_;
    std::vector<MeasureRecord> ng_save_;

private:
    void finish();
};
