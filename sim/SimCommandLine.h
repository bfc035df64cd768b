#pragma once
#include "sim/SimOptions.h"

#include <string>
#include <vector>

namespace pw::sim {

struct SimCommandLine {
    SimOptions options;
    std::string linkPath; // empty: no symlink
    bool help = false;
    bool version = false;
    bool stats = false; // print host turnaround and pacing error on exit
};

// `args` without the program name. False with a message in `error` for anything it does not know.
bool parseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& result, std::string& error);
// The --help text, made from the same option table as the parser.
std::string simUsage();

} // namespace pw::sim
