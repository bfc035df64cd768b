#include "line/RunPreparation.h"

#include "base/ChipTable.h"
#include "base/NumberText.h"
#include "line/LinePorts.h"
#include "line/StoreName.h"
#include "ops/ImageGate.h"

#include <filesystem>
#include <map>

namespace pw {

namespace {

// Without a port the run takes the window's; on a machine where none was ever chosen that
// would be /dev/ttyS0, and a time-out from it would say nothing useful.
bool portConfigured(const std::vector<std::string>& given, const SettingsStore& store)
{
    return !given.empty() || store.readValue("COMPort") || store.readPortMap().contains(1);
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

} // namespace

std::uint32_t writeStart(const StationSetup& setup, const SettingsStore& store)
{
    return setup.startAddr.value_or(startAddressSetting(store));
}

std::optional<Refusal> prepareRunImage(const std::string& file, std::uint32_t start, bool toWrite, PreparedImage& image)
{
    std::string problem;
    if (!prepareImage(file, image, problem))
        return Refusal{"image-error", problem, ExitBadInput};
    if (!toWrite)
        return std::nullopt;
    if (const auto refusal = imageRefusal(image.binaryPath, image.bytes, start, kChipFlashSizes[0]))
        return Refusal{"image-error", refusal->text, ExitBadInput};
    return std::nullopt;
}

std::optional<Refusal> openRecords(const StationSetup& setup, std::unique_ptr<RecordStore>& records)
{
    if (setup.record.empty())
        return std::nullopt;
    std::string failure;
    records = openRecordStore(setup.record, setup.database, failure);
    if (records)
        return std::nullopt;
    const std::string what = databaseName(setup.record) ? "the record line " : "the record file ";
    return Refusal{traitsOf(StopReason::RecordNotKept).word, "cannot open " + what + setup.record + ": " + failure,
                   ExitNotKept};
}

Refusal poolRefusal(const PoolProblem& problem)
{
    if (problem.fault == PoolFault::Refused)
        return {"refused", problem.text, ExitBadInput};
    return {traitsOf(StopReason::SerialPool).word, problem.text, ExitNotKept};
}

std::optional<Refusal> prepareSerials(const StationSetup& setup, std::uint32_t start, const PreparedImage& image,
                                      std::unique_ptr<BoardSerials>& serials)
{
    if (!setup.serial)
        return std::nullopt;
    if (const auto refusal = serialFieldRefusal(*setup.serial, image.content, start, setup.serialOverwrite))
        return Refusal{"refused", *refusal, ExitBadInput};
    serials = std::make_unique<BoardSerials>(*setup.serial);
    if (const PoolProblem problem = serials->open(setup.serialPool, setup.database))
        return poolRefusal(problem);
    return std::nullopt;
}

std::optional<Refusal> resolveRunPorts(const std::vector<std::string>& given, const SettingsStore& store,
                                       std::vector<std::string>& ports)
{
    if (!portConfigured(given, store))
        return Refusal{"port-error",
                       "no port configured: give --port DEVICE, or choose a port in the window's Configuration dialog",
                       ExitPortError};
    ResolvedPorts resolved = resolvePorts(given);
    if (resolved.error)
        return Refusal{"port-error", *resolved.error, ExitPortError};
    ports = std::move(resolved.ports);
    if (auto twice = checkPortsDistinct(given, ports, store))
        return twice;
    if (ports.empty())
        ports.emplace_back(); // the configured port
    return std::nullopt;
}

} // namespace pw
