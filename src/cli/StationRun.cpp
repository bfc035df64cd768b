#include "cli/StationRun.h"

#include "cli/Console.h"
#include "cli/JsonWriter.h"
#include "cli/PortListing.h"
#include "cli/Refusal.h"
#include "cli/SideBySide.h"
#include "cli/Station.h"

#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace pw::cli {

namespace {

const char* stationResult(const StationTotals& totals)
{
    if (totals.serialStop)
        return "serial-error";
    switch (totals.exitCode) {
    case ExitSuccess: return "success";
    case ExitMismatch: return "failed";
    case ExitBadInput: return "image-error";
    case ExitPortError: return "port-error";
    case ExitNotKept: return "record-error";
    }
    return "failed";
}

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
    result.insert("exit", t.exitCode);
    result.insert("seconds", jsonSeconds(t.hours * 3600));
    console.event(slot, "result", result);
}

} // namespace

int runStations(const CliOptions& options, const std::vector<std::string>& ports,
                const std::vector<std::string>& labels, const PreparedImage& image, const SettingsStore& store,
                BoardSerials* serials)
{
    StationShared shared;
    shared.identity = {QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(),
                       QSysInfo::machineHostName().toStdString(), &image};
    if (!options.recordFile.empty()) {
        if (const std::string failure = shared.records.open(options.recordFile); !failure.empty())
            return refuseRun(options, labels, "record-error",
                             "cannot open the record file " + options.recordFile + ": " + failure, ExitNotKept);
    }
    Console console(ports.size(), consoleMode(options));
    std::vector<std::unique_ptr<PortSession>> sessions;
    std::vector<std::unique_ptr<Station>> stations;
    for (std::size_t slot = 0; slot < ports.size(); ++slot) {
        sessions.push_back(std::make_unique<PortSession>(options, ports[slot], slot, console, store, serials));
        PortSession& session = *sessions.back();
        IspContext& ctx = session.context();
        console.setLabel(slot, session.label(), image.bytes);
        stations.push_back(std::make_unique<Station>(session, slot, console, shared, options,
                                                     adapterSerialOf(ctx.portMap.deviceFor(ctx.comPort))));
    }
    shared.stopAll = [&stations] {
        for (const auto& station : stations)
            station->stop();
    };
    const std::vector<StationTotals> totals = sideBySide<StationTotals>(
        stations.size(), [&](std::size_t slot) { return stations[slot]->run(); },
        [&](std::size_t slot) { stations[slot]->stop(); });
    console.finish();
    int exitCode = ExitSuccess;
    for (std::size_t slot = 0; slot < stations.size(); ++slot) {
        reportTotals(console, slot, sessions[slot]->label(), totals[slot]);
        exitCode = std::max(exitCode, totals[slot].exitCode);
    }
    return exitCode;
}

} // namespace pw::cli
