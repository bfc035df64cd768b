#pragma once
#include <string>

namespace pw::cli {

// pagewise-cli db setup: makes the line's tables, or brings them up to this version, in one
// transaction. Returns the exit code.
int runDbSetup(const std::string& conninfo);

} // namespace pw::cli
