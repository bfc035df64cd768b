#include "cli/CliApp.h"

#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ImageInput.h"
#include "cli/PortListing.h"
#include "cli/PortSession.h"
#include "cli/Refusal.h"
#include "cli/RunReport.h"
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

// A refusal of the arguments, the image or the ports: what it says and how it ends.
struct Refusal {
    const char* result; // for --json and --events
    std::string message;
    int exitCode;
};

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
    if (options.command == Command::Dump && options.ports.size() > 1)
        return Refusal{"refused", "dump reads one target: give at most one --port", ExitBadInput};
    for (const std::string& problem : {checkPageRange(options), checkOutputFolder(options)})
        if (!problem.empty())
            return Refusal{"refused", problem, ExitBadInput};
    return std::nullopt;
}

// Without --port the run takes the window's port; on a machine where none was ever chosen
// that would be /dev/ttyS0, and a time-out from it would say nothing useful.
bool portConfigured(const CliOptions& options, const SettingsStore& store)
{
    return !options.ports.empty() || store.readValue("COMPort") || store.readPortMap().contains(1);
}

// The ports as the user knows them: as given, or the configured one.
std::vector<std::string> portLabels(const CliOptions& options, const SettingsStore& store)
{
    if (!options.ports.empty())
        return options.ports;
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
                           (options.command == Command::Station && options.stationCommand == Command::Auto);
    return fromStart ? options.startAddr.value_or(startAddressSetting(store)) : 0;
}

// The checks the workers make before their first frame, made before any port is opened: exit
// code 3 means that nothing reached a target.
std::optional<Refusal> prepareRunImage(const CliOptions& options, const SettingsStore& store, PreparedImage& image)
{
    std::string problem;
    if (!prepareImage(options.file, image, problem))
        return Refusal{"image-error", problem, ExitBadInput};
    if (options.command == Command::Info)
        return std::nullopt;
    if (const auto refusal = imageRefusal(image.binaryPath, image.bytes, runStart(options, store), kChipFlashSizes[0]))
        return Refusal{"image-error", refusal->text, ExitBadInput};
    return std::nullopt;
}

// --serial: the field fits this image and the pool has a number for it, before any port is
// opened; a pool that cannot be used sends nothing.
std::optional<Refusal> prepareSerials(const CliOptions& options, const SettingsStore& store, const PreparedImage& image,
                                      std::unique_ptr<BoardSerials>& serials)
{
    if (!options.serialField)
        return std::nullopt;
    if (const auto refusal =
            serialFieldRefusal(*options.serialField, image.content, runStart(options, store), options.serialOverwrite))
        return Refusal{"refused", *refusal, ExitBadInput};
    serials = std::make_unique<BoardSerials>(*options.serialField);
    if (const PoolProblem problem = serials->open(options.serialPool))
        return Refusal{problem.exitCode == ExitBadInput ? "refused" : "serial-error", problem.text, problem.exitCode};
    return std::nullopt;
}

// The device a port names, links and COM numbers followed, so that two names of one line
// compare equal.
std::string deviceOf(const std::string& port, const PortMap& map)
{
    const auto com = comPortNumber(port);
    const std::string device = com ? map.deviceFor(*com) : port;
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(device, error);
    return error ? device : canonical.string();
}

// One run drives each line once: a second session on it would find it locked by the first.
std::optional<Refusal> checkPortsDistinct(const std::vector<std::string>& given, const std::vector<std::string>& ports,
                                          const SettingsStore& store)
{
    PortMap map;
    map.replaceAll(store.readPortMap());
    std::map<std::string, std::size_t> seen;
    for (std::size_t k = 0; k < ports.size(); ++k) {
        const auto [first, isNew] = seen.emplace(deviceOf(ports[k], map), k);
        if (isNew)
            continue;
        const std::string& earlier = given[first->second];
        const std::string said = earlier == given[k] ? "--port " + given[k] + " was given twice"
                                                     : "--port " + earlier + " and --port " + given[k] +
                                                           " name one port, " + first->first + ": it was given twice";
        return Refusal{"refused", said, ExitBadInput};
    }
    return std::nullopt;
}

std::optional<Refusal> checkPorts(const CliOptions& options, const SettingsStore& store,
                                  std::vector<std::string>& ports)
{
    if (!portConfigured(options, store))
        return Refusal{"port-error",
                       "no port configured: give --port DEVICE, or choose a port in the window's Configuration dialog",
                       ExitPortError};
    ResolvedPorts resolved = resolvePorts(options.ports);
    if (resolved.error)
        return Refusal{"port-error", *resolved.error, ExitPortError};
    ports = std::move(resolved.ports);
    if (auto twice = checkPortsDistinct(options.ports, ports, store))
        return twice;
    if (ports.empty())
        ports.emplace_back(); // the configured port
    return std::nullopt;
}

int runOnPorts(const CliOptions& options, const std::vector<std::string>& ports, const PreparedImage& image,
               const SettingsStore& store, BoardSerials* serials)
{
    Console console(ports.size(), consoleMode(options));
    std::vector<std::unique_ptr<PortSession>> sessions;
    for (std::size_t slot = 0; slot < ports.size(); ++slot)
        sessions.push_back(std::make_unique<PortSession>(options, ports[slot], slot, console, store, serials));
    const std::vector<PortOutcome> outcomes = sideBySide<PortOutcome>(
        sessions.size(), [&](std::size_t slot) { return sessions[slot]->run(image.binaryPath, image.bytes); },
        [&](std::size_t slot) { sessions[slot]->interrupt(); });
    console.finish();
    if (!options.output.empty() && outcomes.front().exitCode == ExitSuccess && !moveDumpFile(options))
        return ExitNotKept; // the flash was read: the run kept nothing it was to keep
    printReport(outcomes, options);
    int worst = ExitSuccess;
    for (const PortOutcome& outcome : outcomes)
        worst = std::max(worst, outcome.exitCode);
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
        if (const auto refusal = prepareRunImage(options, store, image))
            return refuse(*refusal);
    if (const auto done = runWithoutPort(options, store, image))
        return *done;
    std::unique_ptr<BoardSerials> serials;
    if (const auto refusal = prepareSerials(options, store, image, serials))
        return refuse(*refusal);
    std::vector<std::string> ports;
    if (const auto refusal = checkPorts(options, store, ports))
        return refuse(*refusal);
    if (options.command == Command::Station)
        return runStations(options, ports, labels, image, store, serials.get());
    return runOnPorts(options, ports, image, store, serials.get());
}

} // namespace pw::cli
