#pragma once
#include "cli/CliOptions.h"
#include "line/ImageInput.h"
#include "line/PortSession.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace pw::cli {

// After a run: one JSON object per port with --json, else a table with one line per port
// (none with --quiet).
void printReport(const std::vector<PortOutcome>& outcomes, const CliOptions& options);
// The --json line of one run: its result object with the port added.
std::string jsonResultLine(const PortOutcome& outcome);

// info FILE: the image's size and checksum.
void printImageInfo(const PreparedImage& image, bool json);
// dump -o FILE: moves the Dump.txt or Dump.bin the run wrote to FILE.
bool moveDumpFile(const CliOptions& options);

} // namespace pw::cli
