// CRC, scan datagram decoding and the tail filter.
#include "kes_sdk/byte_order.h"
#include "kes_sdk/crc32.h"
#include "kes_sdk/tail_filter.h"
#include "kes_sdk/wire_format.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

namespace {

using kes_sdk::Bytes;

// A room seen from inside with a post in front of one wall, tails at the post's edges
// and a few dropouts: enough edges that the filter's candidate path runs often.
std::vector<uint16_t> roomScan(size_t n)
{
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    std::vector<uint16_t> r(n);
    for (size_t i = 0; i < n; ++i) {
        const double a = double(i) * 270.0 / double(n - 1) * M_PI / 180.0;
        const double wall = 2500.0 / std::max(0.2, std::fabs(std::cos(a - 0.6)));
        r[i] = uint16_t(std::min(20000.0, wall + noise(rng)));
    }
    for (size_t i = n / 3; i < n / 3 + 40; ++i)
        r[i] = uint16_t(800 + noise(rng));
    r[n / 3 - 1] = 1600;
    r[n / 3 + 40] = 1800;
    for (size_t i = 0; i < n; i += 97)
        r[i] = 0;
    return r;
}

Bytes scanDatagram(uint8_t rateCode)
{
    const size_t n = kes_sdk::pointsForRateCode(rateCode);
    Bytes d(kes_sdk::kScanMagic, kes_sdk::kScanMagic + 6);
    kes_sdk::appendU16(d, uint16_t(20 + 3 * n + 4));
    d.insert(d.end(), {0, 0, rateCode, 1, 0, 0, 0, 0, 0, 1, 0, 0});
    for (uint16_t r : roomScan(n)) {
        kes_sdk::appendU16(d, r);
        d.push_back(uint8_t(r));
    }
    kes_sdk::appendU32(d, 0x01020304);
    return d;
}

void BM_Crc64KiB(benchmark::State& state)
{
    std::vector<uint8_t> data(64 * 1024);
    std::mt19937 rng(1);
    for (auto& b : data)
        b = uint8_t(rng());
    for (auto _ : state)
        benchmark::DoNotOptimize(kes_sdk::crc32Mpeg2(data.data(), data.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
}
BENCHMARK(BM_Crc64KiB);

void BM_DecodeScanDatagram(benchmark::State& state)
{
    const Bytes d = scanDatagram(uint8_t(state.range(0)));
    kes_sdk::ScanPacketData packet;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kes_sdk::acceptDatagram(d));
        benchmark::DoNotOptimize(kes_sdk::parseScanDatagram(d, packet));
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_DecodeScanDatagram)->Arg(4)->Arg(8);

// Per point of a 2268-point scan at 10 Hz; the copy back in is part of a real call too.
void BM_TailFilterPerPoint(benchmark::State& state)
{
    const std::vector<uint16_t> scan = roomScan(2268);
    std::vector<uint16_t> work;
    for (auto _ : state) {
        work = scan;
        kes_sdk::applyTailFilter(work, uint32_t(state.range(0)), 10);
        benchmark::DoNotOptimize(work.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(scan.size()));
    state.counters["ns_per_point"] = benchmark::Counter(double(state.iterations()) * double(scan.size()),
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TailFilterPerPoint)->Arg(1)->Arg(5);

} // namespace

BENCHMARK_MAIN();
