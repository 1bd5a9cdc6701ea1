#pragma once

#include <QVector3D>

#include <string>
#include <vector>

// The polar grid in metres, in drawing order: axes and diagonals, 51 rings, the blind sector.
struct GridGeometry {
    std::vector<QVector3D> lines;   // pairs: two axes, two diagonals; white
    std::vector<QVector3D> rings;   // kRingVertices per ring, radius 0 first
    std::vector<QVector3D> colours; // one per ring
    std::vector<QVector3D> fan;     // centre, then the rim
};

struct GridLabel {
    std::string text;
    float x;
    float y;
};

constexpr int kRingCount = 51;
constexpr int kRingVertices = 50;
constexpr int kFanRimVertices = 500;

const GridGeometry& gridGeometry();
// "5m" to "50m" on the positive x axis.
std::vector<GridLabel> gridLabels();

const QVector3D kGridWhite(1.0f, 1.0f, 1.0f);
const QVector3D kGridGrey(0.4f, 0.4f, 0.4f);
const QVector3D kBlindGrey(0.6f, 0.6f, 0.6f);
const QVector3D kLabelGrey(0.6f, 0.6f, 0.6f);
