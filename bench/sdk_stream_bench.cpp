// The live path over loopback with the simulator streaming at 30 Hz: latency from the sixth
// datagram leaving to grabFullScanBlock returning, and the receiving side's CPU per second.
#include "kes_sdk/kes_driver.h"
#include "kes_sdk/wire_format.h"
#include "kes_sim/lidar_simulator.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRevolutions = 300; // ten seconds at 30 Hz

kes_sdk::LidarAddress loopback(uint16_t port)
{
    return kes_sdk::LidarAddress(inet_addr("127.0.0.1"), htons(port));
}

bool startStream(kes_sdk::KesDriver& driver)
{
    std::streambuf* saved = std::cout.rdbuf(nullptr); // the transport's address lines
    const bool opened = driver.open() == kes_sdk::kSuccess;
    std::cout.rdbuf(saved);
    return opened && driver.setFilterLevel(1) == kes_sdk::kSuccess
           && driver.setScanFrequency(30) == kes_sdk::kSuccess && driver.enableDataStream() == kes_sdk::kSuccess;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void BM_LatencySixthDatagramToFullScan(benchmark::State& state)
{
    std::mutex m;
    std::map<uint32_t, Clock::time_point> sent;
    kes_sim::SimOptions options;
    options.port = 0;
    options.on_revolution_sent = [&](uint32_t stamp) {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> lock(m);
        sent[stamp] = now;
    };
    kes_sim::LidarSimulator sim(options);
    if (!sim.start().ok())
        return state.SkipWithError("simulator did not start");
    kes_sdk::KesDriver driver(loopback(sim.port()));
    if (!startStream(driver))
        return state.SkipWithError("no stream");

    std::vector<std::pair<uint32_t, Clock::time_point>> grabbed;
    for (auto _ : state) {
        kes_sdk::FullScanBlock scan;
        for (int i = 0; i < kRevolutions; ++i)
            if (driver.grabFullScanBlock(scan) == kes_sdk::kSuccess)
                grabbed.emplace_back(scan.time_stamp, Clock::now());
    }
    (void)driver.disableDataStream(); // the simulator stops next either way
    sim.stop();

    // A scan carries the stamp of its first datagram, which is the revolution the sixth one ended.
    std::vector<double> micros;
    std::lock_guard<std::mutex> lock(m);
    for (const auto& [stamp, at] : grabbed) {
        const auto it = sent.find(stamp);
        if (it != sent.end())
            micros.push_back(std::max(0.0, std::chrono::duration<double, std::micro>(at - it->second).count()));
    }
    state.counters["p50_us"] = percentile(micros, 0.50);
    state.counters["p99_us"] = percentile(micros, 0.99);
    state.counters["scans"] = double(micros.size());
}
BENCHMARK(BM_LatencySixthDatagramToFullScan)->Iterations(1)->Unit(benchmark::kSecond);

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

// Starts kestra-sim as its own process so its CPU is not ours; returns its pid and port.
pid_t spawnSimulator(uint16_t& port)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::string exe = KESTRA_SIM_EXE;
    char* argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("--port"), const_cast<char*>("0"), nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char line[256] = {};
    FILE* f = fdopen(out[0], "r");
    if (pid > 0 && f && fgets(line, sizeof line, f)) {
        const std::string text(line);
        port = uint16_t(std::stoi(text.substr(text.rfind(':') + 1)));
    }
    if (f)
        fclose(f);
    return pid;
}

void BM_ReceivingCpuPerSecondAt30Hz(benchmark::State& state)
{
    uint16_t port = 0;
    const pid_t pid = spawnSimulator(port);
    if (pid <= 0 || port == 0)
        return state.SkipWithError("kestra-sim did not start");
    kes_sdk::KesDriver driver(loopback(port));
    if (!startStream(driver))
        return state.SkipWithError("no stream");
    double cpu = 0;
    double wall = 0;
    int lost = 0;
    for (auto _ : state) {
        kes_sdk::FullScanBlock scan;
        // Starts on a revolution boundary; a lost scan here only moves the start.
        (void)driver.grabFullScanBlock(scan);
        const double cpu0 = cpuSeconds();
        const auto t0 = Clock::now();
        for (int i = 0; i < kRevolutions; ++i)
            lost += driver.grabFullScanBlock(scan) != kes_sdk::kSuccess;
        cpu = cpuSeconds() - cpu0;
        wall = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    (void)driver.disableDataStream(); // the simulator is killed next either way
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    state.counters["cpu_ms"] = 1000.0 * cpu;
    state.counters["lost_scans"] = lost;
}
BENCHMARK(BM_ReceivingCpuPerSecondAt30Hz)->Iterations(1)->Unit(benchmark::kSecond);

// The floor for the same traffic: a plain blocking receive loop handing each datagram to a
// second thread, which is the least any two-thread receiver can do. Compare the two figures.
void BM_BaselineRecvHandoffAt30Hz(benchmark::State& state)
{
    uint16_t port = 0;
    const pid_t pid = spawnSimulator(port);
    if (pid <= 0 || port == 0)
        return state.SkipWithError("kestra-sim did not start");
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in device{};
    device.sin_family = AF_INET;
    device.sin_addr.s_addr = inet_addr("127.0.0.1");
    device.sin_port = htons(port);
    for (const auto& request : {kes_sdk::buildRequest(0x0105, kes_sdk::payloadU32(30)),
                                kes_sdk::buildRequest(0x010A, kes_sdk::payloadU32(1))})
        sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&device), sizeof device);

    std::mutex m;
    std::condition_variable cv;
    size_t queued = 0;
    bool done = false;
    std::thread consumer([&] {
        std::unique_lock<std::mutex> lock(m);
        while (!done) {
            cv.wait(lock, [&] { return queued > 0 || done; });
            queued = 0;
        }
    });
    std::vector<uint8_t> buffer(65535);
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu0 = cpuSeconds();
        const auto t0 = Clock::now();
        for (int i = 0; i < 6 * kRevolutions; ++i) {
            recv(fd, buffer.data(), buffer.size(), 0);
            {
                std::lock_guard<std::mutex> lock(m);
                ++queued;
            }
            cv.notify_one();
        }
        cpu = cpuSeconds() - cpu0;
        wall = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_one();
    consumer.join();
    close(fd);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / wall;
    state.counters["cpu_ms"] = 1000.0 * cpu;
}
BENCHMARK(BM_BaselineRecvHandoffAt30Hz)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
