#include "kes_sim/command_line.h"
#include "kes_sim/lidar_simulator.h"

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

} // namespace

int main(int argc, char** argv)
{
    const kes_sim::ParsedCommandLine parsed = kes_sim::parseCommandLine(argc, argv);
    if (!parsed.error.empty()) {
        std::cerr << "kestra-sim: " << parsed.error << std::endl;
        return EX_USAGE;
    }
    if (parsed.help) {
        std::cout << kes_sim::usageText();
        return 0;
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
