#pragma once
#include "line/BoardSerials.h"
#include "cli/CliOptions.h"
#include "line/ImageInput.h"
#include "settings/Settings.h"

#include <string>
#include <vector>

namespace pw::cli {

// pagewise-cli station: every port a station of its own, side by side, until Ctrl-C (or a
// record or serial pool that cannot be written); then the totals per port. `ports` as resolved
// ("" for the configured one), `labels` as the user knows them; `serials` null without --serial.
// Returns the exit code.
int runStations(const CliOptions& options, const std::vector<std::string>& ports,
                const std::vector<std::string>& labels, const PreparedImage& image, const SettingsStore& store,
                BoardSerials* serials);

} // namespace pw::cli
