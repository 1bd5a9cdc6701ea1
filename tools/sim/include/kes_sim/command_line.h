#pragma once

#include "kes_sim/sim_options.h"

#include <string>

namespace kes_sim {

struct ParsedCommandLine {
    SimOptions options;
    bool help = false;
    std::string error; // one line naming the offending option; empty when parsing succeeded
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv);
std::string usageText();

} // namespace kes_sim
