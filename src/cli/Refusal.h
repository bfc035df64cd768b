#pragma once
#include "cli/CliOptions.h"

#include <string>
#include <vector>

namespace pw::cli {

// A run refused before any port was opened: the reason on stderr and, with --json or
// --events, one `result` per port asked for, so a line controller hears of every run.
// `result` is image-error, refused, port-error or record-error. Returns `exitCode`.
int refuseRun(const CliOptions& options, const std::vector<std::string>& ports, const char* result,
              const std::string& message, ExitCode exitCode);

} // namespace pw::cli
