#include "csv_reference_reader.h"

#include <QString>
#include <QStringList>

#include <cmath>

namespace kes_csv_reference {
namespace {

struct Pending {
    kes_sdk::ScanBlockData block;
    std::vector<uint16_t> ranges;
    std::vector<uint8_t> intensities;
};

uint16_t rawRange(const QString& text)
{
    bool ok = false;
    const float metres = text.toFloat(&ok);
    const double raw = double(metres) / 0.002;
    if (!ok || std::isnan(raw) || raw < 0)
        return 0;
    return raw >= 65535 ? uint16_t(65535) : uint16_t(raw);
}

void readLine(const QByteArray& line, Pending& p, std::vector<kes_sdk::ScanBlockData>& blocks)
{
    const QString text = QString::fromLatin1(line.constData(), line.size());
    const QStringList f = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    if (f.size() != 7)
        return;
    if (f[3] == QLatin1String("0")) {
        p.block.time_stamp = f[0].toUInt();
        p.block.block_id = uint8_t(f[1].toUShort() & 0xFF);
        p.block.layers.clear();
        p.ranges.clear();
        p.intensities.clear();
    }
    if (!f[4].isEmpty())
        p.ranges.push_back(rawRange(f[4]));
    if (!f[5].isEmpty())
        p.intensities.push_back(uint8_t(f[5].toUShort() & 0xFF));
    f[6].toFloat();
    if (qint64(f[2].toInt()) == qint64(f[3].toInt()) + 1) {
        p.block.layers = {kes_sdk::ScanLayer{p.ranges, p.intensities}};
        blocks.push_back(p.block);
    }
}

std::string describe(const kes_sdk::ScanBlockData& b)
{
    std::string s = "id " + std::to_string(b.block_id) + " ts " + std::to_string(b.time_stamp);
    for (const auto& l : b.layers)
        s += " " + std::to_string(l.ranges.size()) + " ranges from "
             + (l.ranges.empty() ? "-" : std::to_string(l.ranges[0])) + ", " + std::to_string(l.intensities.size())
             + " intensities";
    return s;
}

bool same(const kes_sdk::ScanBlockData& a, const kes_sdk::ScanBlockData& b)
{
    if (a.block_id != b.block_id || a.time_stamp != b.time_stamp || a.reserved8 != b.reserved8
        || a.reserved16 != b.reserved16 || a.layers.size() != b.layers.size())
        return false;
    for (size_t i = 0; i < a.layers.size(); ++i)
        if (a.layers[i].ranges != b.layers[i].ranges || a.layers[i].intensities != b.layers[i].intensities)
            return false;
    return true;
}

} // namespace

std::vector<kes_sdk::ScanBlockData> readBlocks(const QByteArray& bytes)
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    Pending pending;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        readLine(line, pending, blocks);
    }
    return blocks;
}

std::string firstDifference(const std::vector<kes_sdk::ScanBlockData>& expected,
                            const std::vector<kes_sdk::ScanBlockData>& actual)
{
    for (size_t i = 0; i < expected.size() && i < actual.size(); ++i)
        if (!same(expected[i], actual[i]))
            return "block " + std::to_string(i) + ": expected " + describe(expected[i]) + ", got "
                   + describe(actual[i]);
    if (expected.size() != actual.size())
        return "expected " + std::to_string(expected.size()) + " blocks, got " + std::to_string(actual.size());
    return {};
}

} // namespace kes_csv_reference
