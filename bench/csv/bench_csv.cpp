// Point-cloud CSV figures: writer and loader throughput, the loader against Python's csv
// module in the same run, and the memory a loaded recording takes.
#include <kes_csv/csv_append.h>
#include <kes_csv/csv_reader.h>
#include <kes_csv/csv_writer.h>

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr size_t kRows = 3500000;
constexpr size_t kPointsPerBlock = 300;
constexpr int kWriteRuns = 3;
constexpr int kLoadRuns = 5;
constexpr double kMB = 1e6;

double now(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Indoor-like scans: smooth walls, some points without return, modest intensities.
std::vector<kes_sdk::ScanBlockData> generateBlocks(size_t rows)
{
    std::mt19937 rng(42);
    std::vector<kes_sdk::ScanBlockData> blocks(rows / kPointsPerBlock);
    for (size_t b = 0; b < blocks.size(); ++b) {
        auto& block = blocks[b];
        block.block_id = uint8_t(b % 6 + 1);
        block.time_stamp = uint32_t(10000 + b * 8);
        block.layers.resize(1);
        auto& layer = block.layers[0];
        double wall = 800 + double(rng() % 3000);
        for (size_t i = 0; i < kPointsPerBlock; ++i) {
            wall = std::clamp(wall + double(int(rng() % 41) - 20), 100.0, 6000.0);
            const bool no_return = rng() % 8 == 0;
            layer.ranges.push_back(no_return ? 0 : uint16_t(wall));
            layer.intensities.push_back(no_return ? 0 : uint8_t(20 + rng() % 100));
        }
    }
    return blocks;
}

double writeFile(const QString& path, const std::vector<kes_sdk::ScanBlockData>& blocks)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    const double start = now(CLOCK_MONOTONIC);
    {
        kes_csv::CsvWriter writer(file);
        writer.writeHeader();
        for (const auto& b : blocks)
            writer.writeBlock(b, 20.0f);
    }
    file.close();
    return now(CLOCK_MONOTONIC) - start;
}

struct Load {
    double wall = 0;
    double cpu = 0;
    size_t blocks = 0;
    size_t points = 0;
};

// As the player loads: batches appended to its block list under its mutex.
Load loadFile(const QString& path, std::vector<kes_sdk::ScanBlockData>& blocks)
{
    std::mutex mutex;
    const auto append = [&](std::vector<kes_sdk::ScanBlockData>&& batch, const kes_csv::ReadProgress&) {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& b : batch)
            blocks.push_back(std::move(b));
    };
    Load load;
    const double wall = now(CLOCK_MONOTONIC), cpu = now(CLOCK_THREAD_CPUTIME_ID);
    if (kes_csv::readBlocks(path, append) != kes_csv::ReadStatus::Ok) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(1);
    }
    load.wall = now(CLOCK_MONOTONIC) - wall;
    load.cpu = now(CLOCK_THREAD_CPUTIME_ID) - cpu;
    load.blocks = blocks.size();
    for (const auto& b : blocks)
        load.points += b.layers[0].ranges.size();
    return load;
}

std::string commandOutput(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    pclose(pipe);
    return out;
}

long statusKiB(const char* key)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    long value = -1;
    char line[256];
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, std::strlen(key)) == 0)
            value = std::atol(line + std::strlen(key) + 1);
    if (f)
        std::fclose(f);
    return value;
}

// Child mode: load once in a fresh process and report its peak and resident memory.
int reportLoadMemory(const char* path)
{
    std::vector<kes_sdk::ScanBlockData> blocks;
    const Load load = loadFile(QString::fromLocal8Bit(path), blocks);
    std::printf("%ld %ld %zu\n", statusKiB("VmHWM"), statusKiB("VmRSS"), load.points);
    return 0;
}

std::string selfPath()
{
    char path[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

double bestWrite(const QString& path, const std::vector<kes_sdk::ScanBlockData>& blocks)
{
    double best = 1e9;
    for (int i = 0; i < kWriteRuns; ++i)
        best = std::min(best, writeFile(path, blocks));
    return best;
}

Load bestLoad(const QString& path)
{
    Load best;
    best.wall = 1e9;
    std::printf("load runs (s):");
    for (int i = 0; i < kLoadRuns; ++i) {
        std::vector<kes_sdk::ScanBlockData> blocks;
        const Load load = loadFile(path, blocks);
        std::printf(" %.3f", load.wall);
        if (load.wall < best.wall)
            best = load;
    }
    std::printf("\n");
    return best;
}

// The record thread's share of a core at 30 Hz: each revolution's six blocks of 126 points
// appended to a reopened file, as the thread does when it finds them queued: a block at a
// time, each whole or not at all (`whole_blocks`), or all six through one writer.
double recordCoreShareAt30Hz(const QString& path, bool whole_blocks)
{
    constexpr int kRevolutions = 150;
    constexpr double kPeriod = 1.0 / 30.0;
    std::vector<kes_sdk::ScanBlockData> revolution = generateBlocks(6 * 126);
    for (auto& b : revolution) {
        b.layers[0].ranges.resize(126);
        b.layers[0].intensities.resize(126);
    }
    QFile file(path);
    const double wall = now(CLOCK_MONOTONIC), cpu = now(CLOCK_THREAD_CPUTIME_ID);
    for (int r = 0; r < kRevolutions; ++r) {
        if (whole_blocks && file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
            for (auto& b : revolution) {
                b.time_stamp = uint32_t(r);
                kes_csv::appendLines(file, kes_csv::csvText([&](kes_csv::CsvWriter& w) { w.writeBlock(b, 30.0f); }));
            }
        } else if (!whole_blocks && file.open(QIODevice::ReadWrite | QIODevice::Append)) {
            kes_csv::CsvWriter writer(file);
            for (auto& b : revolution) {
                b.time_stamp = uint32_t(r);
                writer.writeBlock(b, 30.0f);
            }
        }
        file.close();
        const double next = wall + (r + 1) * kPeriod;
        while (now(CLOCK_MONOTONIC) < next)
            usleep(useconds_t(std::max(1.0, (next - now(CLOCK_MONOTONIC)) * 1e6)));
    }
    return (now(CLOCK_THREAD_CPUTIME_ID) - cpu) / (now(CLOCK_MONOTONIC) - wall);
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--load-memory") == 0)
        return reportLoadMemory(argv[2]);
    const std::string script = argc > 1 ? argv[1] : KES_CSV_PY_BASELINE;

    QTemporaryDir dir;
    const QString path = dir.filePath("recording.csv");
    const size_t rows = (kRows / kPointsPerBlock) * kPointsPerBlock;
    double write_s = 0;
    {
        const auto blocks = generateBlocks(kRows);
        write_s = bestWrite(path, blocks);
    }
    const double bytes = double(QFile(path).size());
    std::printf("file: %.1f MB, %zu rows, %zu blocks of %zu points\n", bytes / kMB, rows, rows / kPointsPerBlock,
                kPointsPerBlock);
    const double write_mbps = bytes / kMB / write_s;
    std::printf("write: best of %d %.3f s, %.0f MB/s, %.2f M rows/s\n", kWriteRuns, write_s, write_mbps,
                double(rows) / write_s / 1e6);

    const Load load = bestLoad(path);
    const double load_mbps = bytes / kMB / load.wall;
    std::printf("load: best of %d %.3f s wall, %.3f s CPU, %.0f MB/s, %zu blocks, %zu points\n", kLoadRuns,
                load.wall, load.cpu, load_mbps, load.blocks, load.points);

    const std::string py = commandOutput("python3 '" + script + "' '" + path.toStdString() + "'");
    const double py_s = std::atof(py.c_str());
    const double ratio = py_s / load.wall;
    std::printf("python csv baseline: %.3f s (%s rows); ratio python/load %.1fx\n", py_s,
                py.empty() ? "?" : py.substr(py.find(' ') + 1, py.find('\n') - py.find(' ') - 1).c_str(), ratio);

    long peak_kib = 0, resident_kib = 0;
    size_t points = 0;
    std::sscanf(commandOutput("'" + selfPath() + "' --load-memory '" + path.toStdString() + "'").c_str(),
                "%ld %ld %zu", &peak_kib, &resident_kib, &points);
    const double bound = 1.5 * 3.0 * double(points) + 64.0 * 1024 * 1024;
    std::printf("memory of a process holding the loaded file: peak %.1f MB (VmHWM), resident %.1f MB; "
                "bound 1.5 x %.1f MB + 64 MiB = %.1f MB\n",
                double(peak_kib) * 1024 / kMB, double(resident_kib) * 1024 / kMB, 3.0 * double(points) / kMB,
                bound / kMB);

    const double record_share = recordCoreShareAt30Hz(dir.filePath("record.csv"), true);
    const double batch_share = recordCoreShareAt30Hz(dir.filePath("batch.csv"), false);
    std::printf("record path at 30 Hz (6 blocks of 126 points per revolution, file reopened each time): "
                "%.2f %% of one core block by block, whole or not at all; %.2f %% through one writer; "
                "ratio %.1fx\n",
                record_share * 100, batch_share * 100, record_share / batch_share);

    std::printf("targets: load >= 400 MB/s %s; python ratio >= 25 %s; write >= 200 MB/s %s; memory %s\n",
                verdict(load_mbps >= 400), verdict(ratio >= 25), verdict(write_mbps >= 200),
                verdict(peak_kib > 0 && double(peak_kib) * 1024 <= bound));
    return 0;
}
