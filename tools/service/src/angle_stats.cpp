#include "kes_service/angle_stats.h"

#include <kes_sdk/scan_geometry.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kes_service {

void AngleStatistics::add(const kes_sdk::ScanBlockData& block)
{
    if (block.block_id < 1 || block.block_id > kes_sdk::kBlocksPerScan || block.layers.empty()
        || block.layers[0].ranges.empty())
        return;
    const kes_sdk::ScanLayer& layer = block.layers[0];
    const size_t n = layer.ranges.size();
    Table& table = tables_[n];
    if (table.points.empty())
        table.points.resize(kes_sdk::kBlocksPerScan * n);
    ++table.blocks;
    ++blocks_;
    table.revolutions += block.block_id == kes_sdk::kBlocksPerScan;
    Point* p = table.points.data() + (block.block_id - 1) * n;
    for (size_t j = 0; j < n; ++j, ++p) {
        ++p->samples;
        const uint16_t r = layer.ranges[j];
        if (r == 0)
            continue;
        ++p->valid;
        p->sum += r;
        p->sum_sq += uint64_t(r) * r;
        p->intensity += j < layer.intensities.size() ? layer.intensities[j] : 0;
        p->min = std::min(p->min, r);
        p->max = std::max(p->max, r);
    }
}

const AngleStatistics::Table* AngleStatistics::reported() const
{
    const Table* best = nullptr;
    for (const auto& [n, table] : tables_)
        if (!best || table.revolutions > best->revolutions)
            best = &table;
    return best;
}

uint64_t AngleStatistics::revolutions() const
{
    const Table* t = reported();
    return t ? t->revolutions : 0;
}

size_t AngleStatistics::pointsPerBlock() const
{
    const Table* t = reported();
    return t ? t->points.size() / kes_sdk::kBlocksPerScan : 0;
}

uint64_t AngleStatistics::otherBlocks() const
{
    const Table* t = reported();
    return t ? blocks_ - t->blocks : 0;
}

std::vector<AngleRow> AngleStatistics::rows() const
{
    const Table* t = reported();
    if (!t)
        return {};
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const size_t n = t->points.size() / kes_sdk::kBlocksPerScan;
    std::vector<AngleRow> rows;
    rows.reserve(t->points.size());
    for (size_t i = 0; i < t->points.size(); ++i) {
        const Point& p = t->points[i];
        AngleRow row;
        row.angle_deg = kes_sdk::pointAngleDeg(uint32_t(n), unsigned(i / n + 1), i % n);
        row.samples = p.samples;
        row.valid_share = p.samples ? double(p.valid) / double(p.samples) : 0.0;
        row.mean_m = row.std_mm = row.min_m = row.max_m = row.mean_intensity = kNaN;
        if (p.valid > 0) {
            const double v = double(p.valid);
            row.mean_m = double(p.sum) / v * 0.002;
            // In long double, a small spread over a far wall does not drown in rounding.
            const long double sum = p.sum;
            const long double spread = (long double)(p.sum_sq) - sum * sum / v;
            row.std_mm = p.valid > 1 ? double(std::sqrt(std::max(spread, 0.0L) / (v - 1))) * 2.0 : 0.0;
            row.min_m = p.min * 0.002;
            row.max_m = p.max * 0.002;
            row.mean_intensity = double(p.intensity) / v;
        }
        rows.push_back(row);
    }
    return rows;
}

std::string AngleStatistics::csv(const std::vector<AngleRow>& rows)
{
    std::string out = "angle_deg,samples,valid_share,mean_m,std_mm,min_m,max_m,mean_intensity\n";
    for (const AngleRow& r : rows) {
        char line[256];
        int used = std::snprintf(line, sizeof line, "%.4f,%llu,%.4f", double(r.angle_deg),
                                 (unsigned long long)r.samples, r.valid_share);
        const std::pair<const char*, double> figures[] = {{"%.4f", r.mean_m},
                                                          {"%.2f", r.std_mm},
                                                          {"%.3f", r.min_m},
                                                          {"%.3f", r.max_m},
                                                          {"%.1f", r.mean_intensity}};
        for (const auto& [format, value] : figures) {
            line[used++] = ',';
            if (!std::isnan(value))
                used += std::snprintf(line + used, sizeof line - size_t(used), format, value);
        }
        line[used++] = '\n';
        out.append(line, size_t(used));
    }
    return out;
}

} // namespace kes_service
