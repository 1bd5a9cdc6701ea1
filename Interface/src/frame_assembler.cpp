#include "kes_view/frame_assembler.h"

#include "kes_view/point_colour.h"

#include <kes_sdk/scan_geometry.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kLastBlockId = 6;
constexpr float kRangeUnit = 0.002f;
constexpr float kSelectTolerance = 0.2f;
using kes_sdk::angleStep;
using kes_sdk::planeAngle;

} // namespace

uint32_t blockPointCount(const kes_sdk::ScanBlockData& block)
{
    return block.layers.empty() ? 0 : static_cast<uint32_t>(block.layers.front().ranges.size());
}

bool FrameAssembler::receiveBlock(const kes_sdk::ScanBlockData& block, uint32_t colorMode, float selectAngle,
                                  SelectPoint& select, PointSink* sink)
{
    cur_block_ = block;
    storeBlock(block);
    frame_vertices_.clear();
    frame_colors_.clear();
    const uint32_t n = blockPointCount(cur_block_);
    const bool closing = block.block_id == kLastBlockId;
    const Conversion conversion{n, angleStep(n), colorMode, selectAngle, closing ? sink : nullptr};
    updateDirections(n, conversion.step);
    for (const kes_sdk::ScanBlockData& stored : frame_blocks_)
        appendPoints(stored, conversion, select);
    return closing;
}

void FrameAssembler::clearBlocks()
{
    frame_blocks_.clear();
}

void FrameAssembler::publish(std::vector<QVector3D>& vertices, std::vector<QVector3D>& colors)
{
    vertices.swap(frame_vertices_);
    colors.swap(frame_colors_);
    frame_vertices_.clear();
    frame_colors_.clear();
}

void FrameAssembler::updateDirections(uint32_t n, float step)
{
    if (n == directions_n_ && !directions_.empty())
        return;
    directions_n_ = n;
    directions_.clear();
    for (uint32_t k = 0; k < (kLastBlockId + 1u) * n; ++k) {
        const float theta = planeAngle(static_cast<float>(k) * step);
        directions_.push_back({std::cos(theta), std::sin(theta)});
    }
}

// Points beyond n in a longer stored block fall outside the table.
FrameAssembler::Direction FrameAssembler::direction(uint32_t index, float angle) const
{
    if (index < directions_.size())
        return directions_[index];
    const float theta = planeAngle(angle);
    return {std::cos(theta), std::sin(theta)};
}

void FrameAssembler::storeBlock(const kes_sdk::ScanBlockData& block)
{
    bool replaced = false;
    for (kes_sdk::ScanBlockData& stored : frame_blocks_) {
        if (stored.block_id == block.block_id) {
            stored = block;
            replaced = true;
        }
    }
    if (!replaced && block.block_id <= kLastBlockId)
        frame_blocks_.push_back(block);
}

// Missing intensities (a short list from a file) count as 0; a block without layers adds none.
void FrameAssembler::appendPoints(const kes_sdk::ScanBlockData& block, const Conversion& c, SelectPoint& select)
{
    if (block.layers.empty())
        return;
    const kes_sdk::ScanLayer& layer = block.layers.front();
    const size_t withIntensity = std::min(layer.ranges.size(), layer.intensities.size());
    const uint32_t first = c.n * block.block_id;
    for (size_t j = 0; j < layer.ranges.size(); ++j) {
        const float d = static_cast<float>(layer.ranges[j]) * kRangeUnit;
        if (d == 0.0f)
            continue;
        const uint32_t index = first + static_cast<uint32_t>(j);
        const float a = static_cast<float>(index) * c.step;
        const Direction unit = direction(index, a);
        const float i = j < withIntensity ? static_cast<float>(layer.intensities[j]) : 0.0f;
        const float x = d * unit.cos;
        const float y = d * unit.sin;
        frame_colors_.push_back(pointColour(c.colorMode, i, d));
        frame_vertices_.emplace_back(x, y, 0.0f);
        if (c.sink)
            c.sink->point(a, d, i, x, y);
        if (std::fabs(a - c.selectAngle) < kSelectTolerance)
            select = SelectPoint{x, y, a, d, i, true};
    }
}
