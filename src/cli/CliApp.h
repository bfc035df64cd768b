#pragma once
#include <string>
#include <vector>

namespace pw::cli {

// The whole command line: parse, check the inputs without touching a port, run the command on
// every port at once, print the summary; returns the exit code.
int runCli(const std::vector<std::string>& args);

} // namespace pw::cli
