#pragma once
#include "cli/CliOptions.h"
#include "cli/PortSession.h"

#include <string>
#include <vector>

namespace pw::cli {

// After a run: one JSON object per port with --json, else a table with one line per port
// (none with --quiet).
void printReport(const std::vector<PortOutcome>& outcomes, const CliOptions& options);
std::string toJson(const PortOutcome& outcome);
// The fields of that object after the port: operation, result, message, seconds, bytes, exit.
std::string resultFields(const PortOutcome& outcome);
const char* outcomeName(Outcome outcome);

// dump -o FILE: moves the Dump.txt or Dump.bin the run wrote to FILE.
bool moveDumpFile(const CliOptions& options);

} // namespace pw::cli
