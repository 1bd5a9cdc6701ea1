#include "kes_service/point_cloud.h"

#include <kes_sdk/scan_geometry.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kes_service {
namespace {

void appendLittleEndian(std::string& out, float v)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(char(bits >> shift & 0xFF));
}

void appendText(std::string& out, float v, char after)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
    out.push_back(after);
}

std::string header(CloudFormat format, bool binary, size_t count, std::string comment)
{
    for (char& c : comment)
        if (c == '\n' || c == '\r')
            c = ' ';
    const std::string n = std::to_string(count);
    if (format == CloudFormat::Ply)
        return std::string("ply\nformat ") + (binary ? "binary_little_endian" : "ascii") + " 1.0\ncomment " + comment
               + "\nelement vertex " + n
               + "\nproperty float x\nproperty float y\nproperty float z\nproperty float intensity\nend_header\n";
    return "# .PCD v0.7 - Point Cloud Data file format\n# " + comment
           + "\nVERSION 0.7\nFIELDS x y z intensity\nSIZE 4 4 4 4\nTYPE F F F F\nCOUNT 1 1 1 1\nWIDTH " + n
           + "\nHEIGHT 1\nVIEWPOINT 0 0 0 1 0 0 0\nPOINTS " + n + "\nDATA " + (binary ? "binary" : "ascii") + "\n";
}

} // namespace

std::vector<CloudPoint> framePoints(const kes_sdk::ScanBlockData* blocks, size_t count)
{
    std::array<const kes_sdk::ScanBlockData*, kes_sdk::kBlocksPerScan + 1> byId{};
    std::vector<unsigned> order;
    for (size_t i = 0; i < count; ++i) {
        const unsigned id = blocks[i].block_id;
        if (id > kes_sdk::kBlocksPerScan || blocks[i].layers.empty())
            continue;
        if (!byId[id])
            order.push_back(id);
        byId[id] = &blocks[i];
    }
    const size_t n = count > 0 && !blocks[count - 1].layers.empty() ? blocks[count - 1].layers[0].ranges.size() : 0;
    std::vector<CloudPoint> points;
    if (n == 0)
        return points;
    for (unsigned id : order) {
        const kes_sdk::ScanLayer& layer = byId[id]->layers[0];
        for (size_t j = 0; j < layer.ranges.size(); ++j) {
            if (layer.ranges[j] == 0)
                continue;
            const float d = float(layer.ranges[j]) * 0.002f;
            const float theta = kes_sdk::planeAngle(kes_sdk::pointAngleDeg(uint32_t(n), id, j));
            const float intensity = j < layer.intensities.size() ? float(layer.intensities[j]) : 0.0f;
            points.push_back({d * std::cos(theta), d * std::sin(theta), 0.0f, intensity});
        }
    }
    return points;
}

std::string cloudFile(const std::vector<CloudPoint>& points, CloudFormat format, bool binary,
                      const std::string& comment)
{
    std::string out = header(format, binary, points.size(), comment);
    out.reserve(out.size() + points.size() * (binary ? 16 : 40));
    for (const CloudPoint& p : points) {
        if (binary) {
            for (float v : {p.x, p.y, p.z, p.intensity})
                appendLittleEndian(out, v);
        } else {
            appendText(out, p.x, ' ');
            appendText(out, p.y, ' ');
            appendText(out, p.z, ' ');
            appendText(out, p.intensity, '\n');
        }
    }
    return out;
}

} // namespace kes_service
