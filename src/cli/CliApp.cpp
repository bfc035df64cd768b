#include "cli/CliApp.h"

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "line/ImageInput.h"
#include "cli/PortListing.h"
#include "cli/PortRun.h"
#include "line/RunPreparation.h"
#include "cli/Refusal.h"
#include "cli/RunReport.h"
#include "cli/DbSetup.h"
#include "cli/SerialsCommand.h"
#include "cli/SideBySide.h"
#include "cli/StationRun.h"
#include "base/ChipTable.h"
#include "base/Version.h"
#include "ops/EraseSteps.h"
#include "ops/ImageGate.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

namespace pw::cli {

namespace {

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

// dump -o FILE: a folder that does not exist is found out before the whole range is read.
std::string checkOutputFolder(const CliOptions& options)
{
    if (options.output.empty())
        return {};
    const std::filesystem::path folder = std::filesystem::path(options.output).parent_path();
    std::error_code error;
    if (folder.empty() || std::filesystem::is_directory(folder, error))
        return {};
    return "cannot write " + options.output + ": the folder " + folder.string() + " does not exist";
}

std::optional<Refusal> checkArguments(const CliOptions& options)
{
    if (options.command == Command::Dump && options.setup.ports.size() > 1)
        return Refusal{"refused", "dump reads one target: give at most one --port", ExitBadInput};
    for (const std::string& problem : {checkPageRange(options), checkOutputFolder(options)})
        if (!problem.empty())
            return Refusal{"refused", problem, ExitBadInput};
    return std::nullopt;
}

// The ports as the user knows them: as given, or the configured one.
std::vector<std::string> portLabels(const CliOptions& options, const SettingsStore& store)
{
    if (!options.setup.ports.empty())
        return options.setup.ports;
    return {"COM" + std::to_string(portSetting(store))};
}

bool needsImage(Command command)
{
    return command == Command::Program || command == Command::Verify || command == Command::Auto ||
           command == Command::Station;
}

// Where the run writes from: the start address for Auto (which erases from there), else 0.
std::uint32_t runStart(const CliOptions& options, const SettingsStore& store)
{
    const bool fromStart = options.command == Command::Auto ||
                           (options.command == Command::Station && options.setup.operation == StationOperation::Auto);
    return fromStart ? writeStart(options.setup, store) : 0;
}

int runOnPorts(const CliOptions& options, const std::vector<std::string>& ports, const PreparedImage& image,
               const SettingsStore& store, BoardSerials* serials)
{
    Console console(ports.size(), consoleMode(options));
    std::vector<std::unique_ptr<PortRun>> runs;
    for (std::size_t slot = 0; slot < ports.size(); ++slot)
        runs.push_back(std::make_unique<PortRun>(options, ports[slot], slot, console, store, serials));
    const std::vector<PortOutcome> outcomes = sideBySide<PortOutcome>(
        runs.size(), [&](std::size_t slot) { return runs[slot]->run(image.binaryPath, image.bytes); },
        [&](std::size_t slot) { runs[slot]->interrupt(); });
    console.finish();
    if (!options.output.empty() && outcomes.front().exitCode == ExitSuccess && !moveDumpFile(options))
        return ExitNotKept; // the flash was read: the run kept nothing it was to keep
    printReport(outcomes, options);
    int worst = ExitSuccess;
    for (const PortOutcome& outcome : outcomes)
        worst = std::max<int>(worst, outcome.exitCode);
    return worst;
}

// The commands that need no port.
std::optional<int> runWithoutPort(const CliOptions& options, const SettingsStore& store, const PreparedImage& image)
{
    switch (options.command) {
    case Command::Help: std::fputs(usageText().c_str(), stdout); return ExitSuccess;
    case Command::Version: std::printf("pagewise-cli %s\n", kVersionText); return ExitSuccess;
    case Command::Ports: printPorts(store, options.json); return ExitSuccess;
    case Command::Info: printImageInfo(image, options.json); return ExitSuccess;
    case Command::Serials: return runSerialsCommand(options);
    case Command::Db: return runDbSetup(options.setup.database);
    default: return std::nullopt;
    }
}

} // namespace

int runCli(const std::vector<std::string>& args)
{
    const ParseResult parsed = parseArguments(args);
    if (!parsed.options) {
        std::fprintf(stderr, "pagewise-cli: %s\nTry 'pagewise-cli --help'.\n", parsed.error.c_str());
        return ExitBadInput;
    }
    const CliOptions& options = *parsed.options;
    if (options.command == Command::Help || options.command == Command::Version)
        return *runWithoutPort(options, SettingsStore(), {});
    const SettingsStore store;
    for (const std::string& problem : store.problems())
        std::fprintf(stderr, "pagewise-cli: %s\n", problem.c_str());
    const std::vector<std::string> labels = portLabels(options, store);
    const auto refuse = [&](const Refusal& refusal) {
        return refuseRun(options, labels, refusal.result, refusal.message, refusal.exitCode);
    };
    if (const auto refusal = checkArguments(options))
        return refuse(*refusal);
    PreparedImage image;
    if (options.command == Command::Info || needsImage(options.command))
        if (const auto refusal =
                prepareRunImage(options.setup.image, runStart(options, store), options.command != Command::Info, image))
            return refuse(*refusal);
    if (const auto done = runWithoutPort(options, store, image))
        return *done;
    std::unique_ptr<BoardSerials> serials;
    if (const auto refusal = prepareSerials(options.setup, runStart(options, store), image, serials))
        return refuse(*refusal);
    std::vector<std::string> ports;
    if (const auto refusal = resolveRunPorts(options.setup.ports, store, ports))
        return refuse(*refusal);
    if (options.command == Command::Station)
        return runStations(options, ports, labels, image, store, serials.get());
    return runOnPorts(options, ports, image, store, serials.get());
}

} // namespace pw::cli
