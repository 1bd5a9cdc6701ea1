#pragma once

#include <kes_sdk/scan_data.h>

#include <QVector3D>

#include <cstdint>
#include <vector>

// The frame point at the bearing under the mouse.
struct SelectPoint {
    float x = 0;
    float y = 0;
    float angle = 0;
    float distance = 0;
    float intensity = 0;
    bool found = false;
};

// Receives every valid point of the frame being closed (device angle in degrees, distance in
// metres, intensity, plane position), for the measurements.
class PointSink {
public:
    virtual void point(float angle, float distance, float intensity, float x, float y) = 0;

protected:
    ~PointSink() = default;
};

// Collects the blocks of one revolution (one per identifier 0..6) and rebuilds the whole
// frame's positions and colours from them on every block. No GL, no widget.
class FrameAssembler {
public:
    // Stores the block by identifier and rebuilds the frame; true when it closes the frame.
    // A closing block hands every valid point to `sink` when there is one.
    bool receiveBlock(const kes_sdk::ScanBlockData& block, uint32_t colorMode, float selectAngle,
                      SelectPoint& select, PointSink* sink = nullptr);
    void clearBlocks();
    // Moves the frame into the drawn arrays (keeping every array's capacity).
    void publish(std::vector<QVector3D>& vertices, std::vector<QVector3D>& colors);

    const std::vector<kes_sdk::ScanBlockData>& blocks() const { return frame_blocks_; }
    const kes_sdk::ScanBlockData& currentBlock() const { return cur_block_; }
    const std::vector<QVector3D>& vertices() const { return frame_vertices_; }
    const std::vector<QVector3D>& colors() const { return frame_colors_; }

private:
    struct Conversion {
        uint32_t n;
        float step;
        uint32_t colorMode;
        float selectAngle;
        PointSink* sink;
    };

    struct Direction {
        float cos;
        float sin;
    };

    void storeBlock(const kes_sdk::ScanBlockData& block);
    void updateDirections(uint32_t n, float step);
    Direction direction(uint32_t index, float angle) const;
    void appendPoints(const kes_sdk::ScanBlockData& block, const Conversion& c, SelectPoint& select);

    std::vector<kes_sdk::ScanBlockData> frame_blocks_;
    kes_sdk::ScanBlockData cur_block_;
    std::vector<QVector3D> frame_vertices_;
    std::vector<QVector3D> frame_colors_;
    // cos and sin of every angle index of identifiers 0..6 for the current n: each revolution
    // converts the same angles six times over.
    uint32_t directions_n_ = 0;
    std::vector<Direction> directions_;
};

// Points per block of a revolution as the device sends it: the ranges of the first layer.
uint32_t blockPointCount(const kes_sdk::ScanBlockData& block);
