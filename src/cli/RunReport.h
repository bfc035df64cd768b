#pragma once
#include "cli/CliOptions.h"
#include "cli/PortSession.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace pw::cli {

// After a run: one JSON object per port with --json, else a table with one line per port
// (none with --quiet).
void printReport(const std::vector<PortOutcome>& outcomes, const CliOptions& options);
// The result of one run on one port: operation, result, message, seconds, bytes, exit; the
// `result` event and, with the port added, the --json line.
QJsonObject resultObject(const PortOutcome& outcome);
std::string jsonResultLine(const PortOutcome& outcome);
const char* outcomeName(Outcome outcome);
const char* resultName(const PortOutcome& outcome); // outcomeName, "port-error" or "serial-error"

// dump -o FILE: moves the Dump.txt or Dump.bin the run wrote to FILE.
bool moveDumpFile(const CliOptions& options);

} // namespace pw::cli
