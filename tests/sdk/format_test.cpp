#include "fake_peer.h"
#include "kes_sdk/tail_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <tuple>

using namespace kes_sdk;

namespace {

Bytes withCrc(Bytes d)
{
    appendU32(d, crc32Mpeg2(d.data(), d.size()));
    return d;
}

} // namespace

TEST(WireFormat, CrcAndRequestsAreByteExact)
{
    const Bytes check{'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(crc32Mpeg2(check.data(), check.size()), 0x0376E6E7u);
    EXPECT_EQ(crc32Mpeg2(nullptr, 0), 0xFFFFFFFFu);
    EXPECT_EQ(buildRequest(cmd::kGetScanFrequency), withCrc({0x00, 0x0C, 0x00, 0x00, 0x02, 0x05, 0x00, 0x00}));
    EXPECT_EQ(buildRequest(cmd::kTrackConnect, payloadU32(cmd::kHandshakeMagic)),
              withCrc({0x00, 0x10, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78}));
}

// Command datagrams need their CRC; scan datagrams their magic and length, or the zero tail
// alone (which lets a class-1 datagram in, magic or not).
TEST(WireFormat, AcceptanceOfDatagrams)
{
    const Bytes answer = response(cmd::kSetScanFrequency, 0);
    const Bytes scan = scanDatagram(6, 1, 7, 192);
    Bytes badCrc = answer, badLength = scan, badMagic = scan;
    badCrc[9] ^= 0x01;
    badLength[7] ^= 0x01;
    badMagic[0] = 0x00;
    const std::pair<Bytes, bool> cases[] = {{answer, true},
                                            {badCrc, false},
                                            {Bytes{0, 0, 0, 0, 0, 0, 0}, false},
                                            {scan, true},
                                            {badLength, false},
                                            {badMagic, false},
                                            {Bytes{0x11, 0x22, 0x01, 0x33, 0, 0, 0, 0}, true},
                                            {Bytes{0x11, 0x22, 0x07, 0x33, 0x44, 0, 0, 0, 0}, true}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(acceptDatagram(cases[i].first), cases[i].second) << i;
}

// Writes give their status; reads their value on success, the u32 value on status 1 and
// nothing on any other; an answer too short for its command is unusable.
TEST(WireFormat, ResponsesByCommand)
{
    const uint32_t none = 0xDEAD;
    const struct {
        uint16_t code;
        Bytes answer;
        CommandResult result;
        uint32_t number; // the value as a number, or `none` for an empty value
    } cases[] = {
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 0), kSuccess, none},
        {cmd::kSetFilterLevel, response(cmd::kSetFilterLevel, 7), kDeviceFailure, 7},
        {cmd::kGetIpAddress, response(cmd::kGetIpAddress, 0, {0x64, 0x01, 0xA8, 0xC0}), kSuccess,
         uint32_t(inet_addr("192.168.1.100"))},
        {cmd::kRead0202, response(cmd::kRead0202, 0, {0x01, 0x02, 0xFF, 0xFF}), kSuccess, 0x0102},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 1, u32Value(99)), kDeviceFailure, 99},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 5, u32Value(99)), kDeviceFailure, none},
        {cmd::kGetMotorSpeed, response(cmd::kGetMotorSpeed, 0), kNoAnswer, none},
        {cmd::kGetFirmwareVersion, response(cmd::kGetFirmwareVersion, 0, u32Value(1)), kNoAnswer, none},
        {cmd::kSetScanFrequency, withCrc({0, 0, 0, 0, 0, 0, 0x01, 0x05}), kNoAnswer, none},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Bytes value{1, 2, 3};
        EXPECT_EQ(parseResponse(cases[i].answer, cases[i].code, value), cases[i].result) << i;
        if (cases[i].number == none)
            EXPECT_TRUE(value.empty()) << i;
        else
            EXPECT_EQ(valueAsU32(value), cases[i].number) << i;
    }
}

TEST(WireFormat, ScanDatagramsDecodeEveryFieldForEachRateCode)
{
    const std::pair<uint8_t, size_t> rates[] = {{4, 378}, {5, 252}, {6, 192}, {7, 150}, {8, 126}, {9, 0}};
    for (const auto& [code, n] : rates) {
        ScanPacketData p;
        ASSERT_TRUE(parseScanDatagram(scanDatagram(code, 3, 0x01020304, n), p)) << int(code);
        EXPECT_EQ(p.block_id, 3);
        EXPECT_EQ(p.time_stamp, 0x01020304u);
        EXPECT_EQ(p.reserved8, 0x5A);
        uint16_t raw;
        std::memcpy(&raw, Bytes{0xBE, 0xEF}.data(), 2);
        EXPECT_EQ(p.reserved16, raw);
        ASSERT_EQ(p.layers.size(), 1u);
        ASSERT_EQ(p.layers[0].ranges.size(), n);
        ASSERT_EQ(p.layers[0].intensities.size(), n);
        if (n > 0) {
            EXPECT_EQ(p.layers[0].ranges[n - 1], 1003);
            EXPECT_EQ(p.layers[0].intensities[0], 30);
        }
    }
    // Too short for its points: rejected, the record untouched.
    Bytes cut = scanDatagram(6, 1, 0, 192);
    cut.resize(20 + 3 * 191);
    ScanPacketData p;
    p.block_id = 42;
    EXPECT_FALSE(parseScanDatagram(cut, p));
    EXPECT_FALSE(parseScanDatagram(Bytes{0x4D, 0x53, 0x01, 0xF4, 0xEB, 0x90, 0, 10, 0, 0}, p));
    EXPECT_EQ(p.block_id, 42);
}

namespace {

struct Params {
    float p, q, t;
    int jump, need;
};

// The constants derived from their definitions: an angle step of 0.01188 degrees per Hz, the
// level's angle and neighbour count; none for a filter that is off.
std::optional<Params> params(uint32_t level, uint32_t hz)
{
    const std::map<uint32_t, int> jump = {{10, 15}, {15, 30}, {20, 25}, {25, 35}, {30, 40}};
    const std::map<uint32_t, std::pair<double, int>> angle = {{1, {3, 3}}, {2, {3, 2}}, {3, {5.5, 2}},
                                                              {4, {9, 2}}, {5, {9, 1}}, {6, {0, 0}}};
    if (level == 0 || !jump.count(hz))
        return std::nullopt;
    const double rad = M_PI / 180.0, step = 0.01188 * hz * rad;
    return Params{float(-std::sin(step)), float(std::cos(step)), float(std::tan(angle.at(level).first * rad)),
                  jump.at(hz), angle.at(level).second};
}

// The filter as its description reads.
std::vector<uint16_t> reference(const std::vector<uint16_t>& in, uint32_t level, uint32_t hz)
{
    const auto f = params(level, hz);
    std::vector<uint16_t> out = in;
    for (size_t i = 3; f && i + 3 < in.size(); ++i) {
        const int d = in[i];
        const auto counts = [&](size_t k) {
            const float denominator = float(in[k]) - f->q * float(d), t = f->p * float(d) / denominator;
            return denominator != 0.0f && -f->t < t && t < f->t;
        };
        if (d == 0 || (std::abs(d - in[i + 1]) < f->jump && d > 500 && std::abs(d - in[i - 1]) < f->jump)
            || (counts(i - 3) + counts(i - 2) + counts(i - 1) < f->need
                && counts(i + 1) + counts(i + 2) + counts(i + 3) < f->need))
            continue;
        out[i] = 0;
        if (level <= 5)
            out[i - 1] = out[i + 1] = 0;
    }
    return out;
}

// Pairs (d, r): a point d with a neighbour r that lies as close as ranges allow to the edge of
// counting, where a constant one unit in the last place off changes the outcome.
std::vector<std::pair<int, int>> edgePairs(uint32_t level, uint32_t hz)
{
    const auto f = params(level, hz);
    if (!f || f->t == 0)
        return {};
    std::vector<std::tuple<float, int, int>> all;
    for (int d = 600; d <= 30000; ++d)
        for (long r = std::lround(f->q * d - f->p * d / f->t) - 1, n = 0; n < 3; ++r, ++n)
            all.emplace_back(std::abs(std::abs(f->p * float(d) / (float(r) - f->q * float(d))) - f->t), d, int(r));
    std::partial_sort(all.begin(), all.begin() + 64, all.end());
    std::vector<std::pair<int, int>> pairs;
    for (size_t i = 0; i < 64; ++i)
        pairs.emplace_back(std::get<1>(all[i]), std::get<2>(all[i]));
    return pairs;
}

// Surfaces at random ranges and slopes with edges, gaps and close points, and between them
// points whose neighbours lie at the edge of counting.
std::vector<uint16_t> randomScan(std::mt19937& rng, const std::vector<std::pair<int, int>>& edges)
{
    std::vector<uint16_t> scan(2268);
    std::uniform_int_distribution<int> length(3, 60), range(200, 8000), slope(-60, 60), noise(-2, 2);
    std::uniform_int_distribution<size_t> pick(0, edges.empty() ? 0 : edges.size() - 1);
    for (size_t i = 0; i + 7 < scan.size();) {
        if (!edges.empty() && length(rng) < 30) {
            const auto [d, r] = edges[pick(rng)];
            for (int v : {d, d, d, d, r, r, r})
                scan[i++] = uint16_t(v);
            continue;
        }
        const int start = range(rng), step = slope(rng);
        const bool gap = length(rng) < 6;
        for (int n = length(rng); n > 0 && i < scan.size(); --n, ++i)
            scan[i] = gap ? 0 : uint16_t(std::clamp(start + step * n + noise(rng), 1, 65535));
    }
    return scan;
}

} // namespace

TEST(TailFilter, EveryFrequencyAndLevelAgreesWithTheReferenceOnRandomScans)
{
    std::mt19937 rng(7);
    for (uint32_t hz : {10u, 12u, 15u, 20u, 25u, 30u})
        for (uint32_t level = 0; level <= 6; ++level) {
            bool changed = false;
            const auto edges = edgePairs(level, hz);
            for (int round = 0; round < 20; ++round) {
                const auto scan = randomScan(rng, edges);
                auto filtered = scan;
                applyTailFilter(filtered, level, hz);
                ASSERT_EQ(filtered, reference(scan, level, hz))
                    << hz << " Hz, level " << level << ", round " << round;
                changed = changed || filtered != scan;
            }
            // The random scans do exercise the filter wherever it is on.
            EXPECT_EQ(changed, level > 0 && hz != 12) << hz << " Hz, level " << level;
        }
    // Too short for a neighbourhood: left alone.
    auto tiny = std::vector<uint16_t>{1000, 1000, 1000, 5000, 1000, 1000};
    applyTailFilter(tiny, 1, 10);
    EXPECT_EQ(tiny[3], 5000);
}
