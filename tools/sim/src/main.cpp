#include "kes_sim/command_line.h"
#include "kes_sim/lidar_simulator.h"
#include "kes_sim/replay.h"

#include <sysexits.h>

#include <csignal>
#include <iostream>

namespace {

// Blocked in every thread so that only sigwait below sees them.
sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Loads --replay's capture into the options; an error message when it cannot.
std::string loadReplay(kes_sim::SimOptions& options)
{
    kes_pcap::Capture capture;
    std::string error;
    if (!kes_pcap::readCapture(options.replay_file, capture, error))
        return "cannot read " + options.replay_file + ": " + error;
    std::optional<kes_sim::Replay> replay = kes_sim::makeReplay(capture.datagrams, error);
    if (!replay)
        return options.replay_file + ": " + error;
    if (capture.truncated)
        std::cerr << "kestra-sim: " << options.replay_file << " ends inside a frame; replaying what came before"
                  << std::endl;
    kes_sim::seedOptions(*replay, options);
    options.replay = std::make_shared<const kes_sim::Replay>(std::move(*replay));
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    kes_sim::ParsedCommandLine parsed = kes_sim::parseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        std::cerr << "kestra-sim: " << parsed.error << std::endl;
        return EX_USAGE;
    }
    if (parsed.help) {
        std::cout << kes_sim::usageText();
        return 0;
    }
    if (!parsed.options.replay_file.empty()) {
        const std::string failure = loadReplay(parsed.options);
        if (!failure.empty()) {
            std::cerr << "kestra-sim: " << failure << std::endl;
            return EX_NOINPUT;
        }
    }
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    kes_sim::LidarSimulator simulator(parsed.options);
    const kes_sim::StartResult started = simulator.start();
    if (!started.ok()) {
        std::cerr << "kestra-sim: " << started.message << std::endl;
        return EX_UNAVAILABLE;
    }
    std::cout << "kestra-sim listening on " << parsed.options.bind_address << ':' << simulator.port() << std::endl;
    int signal = 0;
    sigwait(&signals, &signal);
    simulator.stop();
    return 0;
}
