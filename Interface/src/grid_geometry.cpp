#include "grid_geometry.h"

#include <QString>

#include <cmath>

namespace {

constexpr double kRingAngleStep = 0.1256636;
constexpr float kDiagonal = 35.35f;

void addRings(GridGeometry& g)
{
    for (int r = 0; r < kRingCount; ++r) {
        for (int k = 0; k < kRingVertices; ++k) {
            const double a = k * kRingAngleStep;
            g.rings.emplace_back(float(r * std::cos(a)), float(r * std::sin(a)), 0.0f);
        }
        g.colours.push_back(r % 5 == 0 ? kGridWhite : kGridGrey);
    }
}

// The quarter circle below the sensor, between the two lower diagonals.
void addFan(GridGeometry& g)
{
    g.fan.emplace_back(0.0f, 0.0f, 0.0f);
    for (int k = 0; k < kFanRimVertices; ++k) {
        const double a = M_PI / 4 + k * (M_PI / 2) / kFanRimVertices;
        g.fan.emplace_back(float(50 * std::cos(a)), float(-50 * std::sin(a)), 0.0f);
    }
}

GridGeometry buildGrid()
{
    GridGeometry g;
    g.lines = {{0, 50, 0},
               {0, -50, 0},
               {-50, 0, 0},
               {50, 0, 0},
               {-kDiagonal, kDiagonal, 0},
               {kDiagonal, -kDiagonal, 0},
               {kDiagonal, kDiagonal, 0},
               {-kDiagonal, -kDiagonal, 0}};
    addRings(g);
    addFan(g);
    return g;
}

} // namespace

const GridGeometry& gridGeometry()
{
    static const GridGeometry grid = buildGrid();
    return grid;
}

std::vector<GridLabel> gridLabels()
{
    std::vector<GridLabel> labels;
    for (int k = 5; k <= 50; k += 5)
        labels.push_back({QString("%1%2").arg(k).arg("m").toStdString(), float(k), 0.05f});
    return labels;
}
