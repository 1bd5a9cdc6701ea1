// The service bench's figures, each beside a baseline from the same run:
// - capture's CPU share of one core on a 30 Hz link, against plain `watch` on the same link;
// - `stats` (with its table and plot) over a ten-minute recording, against `inspect` of the file.
// Usage: service_figures [SECONDS_PER_LINK_RUN (default 30)] [WORK_DIR (default a new one in /tmp)]
#include <kes_csv/csv_writer.h>
#include <kes_sim/lidar_simulator.h>
#include <kes_sim/scene.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr uint32_t kLinkHz = 30;
constexpr uint32_t kRecordingHz = 10;
constexpr int kRecordingSeconds = 600;
constexpr int kFileRuns = 3;

double wallNow()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Used {
    int status = -1;
    double wall_s = 0;
    double cpu_s = 0; // user and system, of the child alone
};

// Runs kestra-cli with `args`, its output thrown away.
Used runCli(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {KESTRA_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    Used used;
    const double start = wallNow();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0) {
        std::perror(KESTRA_CLI);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&files);
    rusage usage{};
    wait4(pid, &used.status, 0, &usage);
    used.wall_s = wallNow() - start;
    used.cpu_s = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                 + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    if (!WIFEXITED(used.status) || WEXITSTATUS(used.status) != 0) {
        std::fprintf(stderr, "kestra-cli %s failed (status %d)\n", args.front().c_str(), used.status);
        std::exit(1);
    }
    return used;
}

// Ten minutes of the simulator's room as `kestra-cli record` writes them.
void writeRecording(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    kes_csv::CsvWriter writer(file);
    writer.writeHeader();
    kes_sim::Scene scene(1, 5.0);
    const size_t n = 378; // points per block at 10 Hz
    std::vector<kes_sim::ScanPoint> sweep;
    kes_sdk::ScanBlockData block;
    block.layers.resize(1);
    for (int r = 0; r < kRecordingSeconds * int(kRecordingHz); ++r) {
        scene.sweep(double(r) / kRecordingHz, n, false, sweep);
        for (uint8_t b = 0; b < 6; ++b) {
            block.block_id = uint8_t(b + 1);
            block.time_stamp = uint32_t(r) * 100000u + b;
            auto& layer = block.layers[0];
            layer.ranges.clear();
            layer.intensities.clear();
            for (size_t j = 0; j < n; ++j) {
                layer.ranges.push_back(sweep[b * n + j].range);
                layer.intensities.push_back(sweep[b * n + j].intensity);
            }
            writer.writeBlock(block, float(kRecordingHz));
        }
    }
    if (!writer.flush()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

double bestWall(const std::vector<std::string>& args)
{
    double best = 1e9;
    for (int i = 0; i < kFileRuns; ++i)
        best = std::min(best, runCli(args).wall_s);
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    QTemporaryDir scratch;
    const QString dir = argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.path();
    QDir().mkpath(dir);
    auto file = [&dir](const char* name) { return QDir(dir).filePath(name).toStdString(); };

    kes_sim::SimOptions options;
    options.port = 0;
    options.frequency_hz = kLinkHz;
    kes_sim::LidarSimulator sim(options);
    if (const kes_sim::StartResult started = sim.start(); !started.ok()) {
        std::fprintf(stderr, "simulator: %s\n", started.message.c_str());
        return 1;
    }
    const std::vector<std::string> link = {
        "--ip", "127.0.0.1", "--port", std::to_string(sim.port()), "--seconds", std::to_string(seconds)};
    std::vector<std::string> watch = {"watch"};
    watch.insert(watch.end(), link.begin(), link.end());
    std::vector<std::string> capture = {"capture", "--out", file("link.pcap")};
    capture.insert(capture.end(), link.begin(), link.end());
    const Used watched = runCli(watch);
    const Used captured = runCli(capture);
    sim.stop();
    std::printf("link at %u Hz, %d s each, CPU of one core (user + system / wall):\n", kLinkHz, seconds);
    std::printf("  kestra-cli watch    %6.2f %%   (baseline)\n", 100 * watched.cpu_s / watched.wall_s);
    std::printf("  kestra-cli capture  %6.2f %%   (target below 1 %%), %.0f kB written\n",
                100 * captured.cpu_s / captured.wall_s,
                double(QFile(QString::fromStdString(file("link.pcap"))).size()) / 1e3);

    const std::string csv = file("ten_minutes.csv");
    writeRecording(QString::fromStdString(csv));
    const double inspect = bestWall({"inspect", csv});
    const double stats = bestWall({"stats", csv, "--out", file("stats.csv"), "--plot", file("stats.png")});
    std::printf("ten-minute recording at %u Hz, %.0f MB, wall time, best of %d:\n", kRecordingHz,
                double(QFile(QString::fromStdString(csv)).size()) / 1e6, kFileRuns);
    std::printf("  kestra-cli inspect  %6.2f s   (baseline)\n", inspect);
    std::printf("  kestra-cli stats    %6.2f s   (target below 2 s), %.2f x inspect\n", stats, stats / inspect);
    return 0;
}
