#pragma once
#include "sim/SimOptions.h"

#include <string>

namespace pw::sim {

struct SimCommandLine {
    SimOptions options;
    std::string linkPath; // empty: no symlink
    bool help = false;
};

// False with a message in error for anything it does not know.
bool parseSimCommandLine(int argc, const char* const* argv, SimCommandLine& result, std::string& error);
const char* simUsage();

} // namespace pw::sim
