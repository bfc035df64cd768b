#include "cli/CliApp.h"

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ImageInput.h"
#include "cli/InterruptWatcher.h"
#include "cli/PortListing.h"
#include "cli/PortSession.h"
#include "cli/Station.h"
#include "cli/RunReport.h"
#include "base/ChipTable.h"
#include "base/Version.h"
#include "ops/EraseSteps.h"
#include "ops/ImageGate.h"

#include <algorithm>
#include <functional>
#include <cstdio>
#include <memory>
#include <thread>

namespace pw::cli {

namespace {

int badInput(const std::string& message)
{
    std::fprintf(stderr, "pagewise-cli: %s\n", message.c_str());
    return ExitBadInput;
}

// The engine's own range rules, asked before any port is touched.
std::string checkPageRange(const CliOptions& options)
{
    if (!options.fromPage)
        return {};
    const std::optional<std::string> refusal =
        options.command == Command::Dump ? dumpRangeRefusal(*options.fromPage, *options.pageCount)
                                         : pageRangeRefusal(*options.fromPage, *options.pageCount, kChipFlashSizes[0]);
    return refusal.value_or(std::string());
}

// Without --port the run takes the window's port; on a machine where none was ever chosen
// that would be /dev/ttyS0, and a time-out from it would say nothing useful.
bool portConfigured(const CliOptions& options, const SettingsStore& store)
{
    return !options.ports.empty() || store.readValue("COMPort") || store.readPortMap().contains(1);
}

bool needsImage(Command command)
{
    return command == Command::Program || command == Command::Verify || command == Command::Auto ||
           command == Command::Station;
}

// The checks the workers make before their first frame, made before any port is opened: exit
// code 3 means that nothing reached a target.
std::string checkImage(const CliOptions& options, const PreparedImage& image, const SettingsStore& store)
{
    const bool fromStart = options.command == Command::Auto ||
                           (options.command == Command::Station && options.stationCommand == Command::Auto);
    const std::uint32_t start = fromStart ? options.startAddr.value_or(startAddressSetting(store)) : 0;
    const auto refusal = imageRefusal(image.binaryPath, image.bytes, start, kChipFlashSizes[0]);
    return refusal ? refusal->text : std::string();
}

// Every port's work on a thread of its own, Ctrl-C passed to each; the results in port order.
// The watcher comes first: it keeps the signals from every thread made after it.
template <typename Result>
std::vector<Result> sideBySide(std::size_t ports, const std::function<Result(std::size_t)>& work,
                               const std::function<void(std::size_t)>& interrupt)
{
    InterruptWatcher watcher([&] {
        for (std::size_t slot = 0; slot < ports; ++slot)
            interrupt(slot);
    });
    std::vector<Result> results(ports);
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < ports; ++slot)
        threads.emplace_back([&, slot] { results[slot] = work(slot); });
    for (std::thread& thread : threads)
        thread.join();
    return results;
}

ConsoleMode consoleMode(const CliOptions& options)
{
    if (options.events)
        return ConsoleMode::Events;
    return options.quiet || options.json ? ConsoleMode::Quiet : ConsoleMode::Human;
}

std::vector<PortOutcome> runSessions(const CliOptions& options, std::vector<std::string> ports,
                                     const PreparedImage& image, const SettingsStore& store)
{
    if (ports.empty())
        ports.emplace_back(); // the configured port
    Console console(ports.size(), consoleMode(options));
    std::vector<std::unique_ptr<PortSession>> sessions;
    for (std::size_t slot = 0; slot < ports.size(); ++slot)
        sessions.push_back(std::make_unique<PortSession>(options, ports[slot], slot, console, store));

    std::vector<PortOutcome> outcomes = sideBySide<PortOutcome>(
        sessions.size(), [&](std::size_t slot) { return sessions[slot]->run(image.binaryPath, image.bytes); },
        [&](std::size_t slot) { sessions[slot]->interrupt(); });
    console.finish();
    return outcomes;
}

// Every port a station of its own, side by side, until Ctrl-C; then the totals per port.
int runStations(const CliOptions& options, std::vector<std::string> ports, const PreparedImage& image,
                const SettingsStore& store)
{
    if (ports.empty())
        ports.emplace_back(); // the configured port
    Console console(ports.size(), consoleMode(options));
    BoardRecords records(options.recordFile);
    std::vector<std::unique_ptr<PortSession>> sessions;
    std::vector<std::unique_ptr<Station>> stations;
    for (std::size_t slot = 0; slot < ports.size(); ++slot) {
        sessions.push_back(std::make_unique<PortSession>(options, ports[slot], slot, console, store));
        PortSession& session = *sessions.back();
        IspContext& ctx = session.context();
        console.setLabel(slot, session.label(), image.bytes);
        stations.push_back(std::make_unique<Station>(session, slot, console, records, image, options.stationCommand,
                                                     adapterSerialOf(ctx.portMap.deviceFor(ctx.comPort))));
    }
    const std::vector<StationTotals> totals = sideBySide<StationTotals>(
        stations.size(), [&](std::size_t slot) { return stations[slot]->run(); },
        [&](std::size_t slot) { stations[slot]->stop(); });
    console.finish();
    int exitCode = ExitSuccess;
    for (std::size_t slot = 0; slot < stations.size(); ++slot) {
        const StationTotals& t = totals[slot];
        const unsigned boards = t.passed + t.failed;
        const double perHour = t.hours > 0 ? boards / t.hours : 0.0;
        char line[200];
        std::snprintf(line, sizeof line, "%s: %u passed, %u failed, %.0f boards per hour",
                      sessions[slot]->label().c_str(), t.passed, t.failed, perHour);
        char fields[120];
        std::snprintf(fields, sizeof fields, "\"passed\":%u,\"failed\":%u,\"boards_per_hour\":%.1f", t.passed,
                      t.failed, perHour);
        console.resultLine(slot, line, "totals", fields);
        if (!t.portOpened)
            exitCode = std::max<int>(exitCode, ExitPortError);
        else if (t.failed > 0)
            exitCode = std::max<int>(exitCode, ExitMismatch);
    }
    return exitCode;
}

} // namespace

int runCli(const std::vector<std::string>& args)
{
    const ParseResult parsed = parseArguments(args);
    if (!parsed.options)
        return badInput(parsed.error + "\nTry 'pagewise-cli --help'.");
    const CliOptions& options = *parsed.options;
    if (options.command == Command::Help) {
        std::fputs(usageText().c_str(), stdout);
        return ExitSuccess;
    }
    if (options.command == Command::Version) {
        std::printf("pagewise-cli %s\n", kVersionText);
        return ExitSuccess;
    }
    if (options.command == Command::Dump && options.ports.size() > 1)
        return badInput("dump reads one target: give at most one --port");
    if (const std::string problem = checkPageRange(options); !problem.empty())
        return badInput(problem);

    const SettingsStore store;
    for (const std::string& problem : store.problems())
        std::fprintf(stderr, "pagewise-cli: %s\n", problem.c_str());
    if (options.command == Command::Ports) {
        printPorts(store, options.json);
        return ExitSuccess;
    }
    PreparedImage image;
    if (options.command == Command::Info || needsImage(options.command)) {
        std::string problem;
        if (!prepareImage(options.file, image, problem))
            return badInput(problem);
        if (options.command == Command::Info) {
            printImageInfo(image, options.json);
            return ExitSuccess;
        }
        if (const std::string refusal = checkImage(options, image, store); !refusal.empty())
            return badInput(refusal);
    }

    if (!portConfigured(options, store)) {
        std::fputs("pagewise-cli: no port configured: give --port DEVICE, or choose a port in the "
                   "window's Configuration dialog\n",
                   stderr);
        return ExitPortError;
    }
    const ResolvedPorts ports = resolvePorts(options.ports);
    if (ports.error) {
        std::fprintf(stderr, "pagewise-cli: %s\n", ports.error->c_str());
        return ExitPortError;
    }
    if (options.command == Command::Station)
        return runStations(options, ports.ports, image, store);
    const std::vector<PortOutcome> outcomes = runSessions(options, ports.ports, image, store);
    if (!options.output.empty() && outcomes.front().exitCode == ExitSuccess &&
        !moveDumpFile(options))
        return ExitBadInput;
    printReport(outcomes, options);
    int worst = ExitSuccess;
    for (const PortOutcome& outcome : outcomes)
        worst = std::max(worst, outcome.exitCode);
    return worst;
}

} // namespace pw::cli
