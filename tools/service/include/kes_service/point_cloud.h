#pragma once

#include "kes_sdk/scan_data.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kes_service {

struct CloudPoint {
    float x = 0; // metres
    float y = 0;
    float z = 0;
    float intensity = 0;
};

enum class CloudFormat { Ply, Pcd };

// The points of one frame where the view draws them: a later block replaces an earlier one
// of the same identifier, identifiers above 6 are not drawn, points without return are left
// out, and every block is placed with the point count of the frame's last block.
std::vector<CloudPoint> framePoints(const kes_sdk::ScanBlockData* blocks, size_t count);

// A whole file: PLY 1.0 or PCD 0.7 with fields x, y, z, intensity as 32-bit floats, ASCII
// (each number in its shortest exact form) or binary little-endian. `comment` is one line.
std::string cloudFile(const std::vector<CloudPoint>& points, CloudFormat format, bool binary,
                      const std::string& comment);

} // namespace kes_service
