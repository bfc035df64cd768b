#include "cli/StationRun.h"

#include "cli/Console.h"
#include "cli/InterruptWatcher.h"
#include "cli/PortRun.h"
#include "cli/Refusal.h"
#include "cli/StationPresenter.h"
#include "line/JsonWriter.h"
#include "line/RunPreparation.h"
#include "line/StationLine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pw::cli {

namespace {

// Per port: the totals line (a `totals` event), then the station's `result` event.
void reportTotals(Console& console, std::size_t slot, const std::string& label, const StationTotals& t)
{
    const double perHour = t.hours > 0 ? (t.passed + t.failed) / t.hours : 0.0;
    char line[200];
    std::snprintf(line, sizeof line, "%s: %u passed, %u failed, %.0f boards per hour", label.c_str(), t.passed,
                  t.failed, perHour);
    const QJsonObject totals{{"passed", static_cast<qint64>(t.passed)},
                             {"failed", static_cast<qint64>(t.failed)},
                             {"boards_per_hour", std::round(perHour * 10) / 10}};
    console.resultLine(slot, line, "totals", totals);
    QJsonObject result = totals;
    result.insert("operation", "station");
    result.insert("result", stationResult(t));
    result.insert("exit", stationExit(t));
    result.insert("seconds", jsonSeconds(t.hours * 3600));
    console.event(slot, "result", result);
}

} // namespace

int runStations(const CliOptions& options, const std::vector<std::string>& ports,
                const std::vector<std::string>& labels, const PreparedImage& image, const SettingsStore& store,
                BoardSerials* serials)
{
    std::unique_ptr<RecordStore> records;
    if (const auto refusal = openRecords(options.setup, records))
        return refuseRun(options, labels, refusal->result, refusal->message, refusal->exitCode);
    Console console(ports.size(), consoleMode(options));
    StationPresenter presenter(console, ports.size(), image);
    StationLine line(options.setup, image, ports, store, presenter, records.get(), serials);
    std::vector<std::string> names;
    for (std::size_t slot = 0; slot < line.size(); ++slot) {
        names.push_back(line.label(slot));
        console.setLabel(slot, line.label(slot), image.bytes);
    }
    presenter.setLabels(names);
    std::vector<StationTotals> totals;
    {
        InterruptWatcher watcher([&line] { line.stop(); }); // Ctrl-C is Stop; a second one cancels the boards
        totals = line.run();
    }
    console.finish();
    int exitCode = ExitSuccess;
    for (std::size_t slot = 0; slot < totals.size(); ++slot) {
        reportTotals(console, slot, names[slot], totals[slot]);
        exitCode = std::max<int>(exitCode, stationExit(totals[slot]));
    }
    return exitCode;
}

} // namespace pw::cli
