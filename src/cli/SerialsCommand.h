#pragma once
#include "cli/CliOptions.h"

namespace pw::cli {

// pagewise-cli serials init|show POOL: creates a pool, or tells what became of its numbers.
// Returns the exit code.
int runSerialsCommand(const CliOptions& options);

} // namespace pw::cli
