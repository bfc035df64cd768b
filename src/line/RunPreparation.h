#pragma once
#include "line/BoardSerials.h"
#include "line/ImageInput.h"
#include "line/Outcomes.h"
#include "line/RecordStore.h"
#include "line/StationSetup.h"
#include "settings/Settings.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// A run refused before any port is opened: its result word (image-error, refused,
// serial-error, port-error, record-error), what it says, and how the command line ends.
struct Refusal {
    const char* result;
    std::string message;
    ExitCode exitCode;
};

// The start address of a run that writes from it (Auto), as the setup or the settings give it.
std::uint32_t writeStart(const StationSetup& setup, const SettingsStore& store);
// Loads the image as the panel's Load button does and, when it is to be written from
// `start`, makes the checks the workers make before their first frame.
std::optional<Refusal> prepareRunImage(const std::string& file, std::uint32_t start, bool toWrite,
                                       PreparedImage& image);
// With a serial field: it fits this image written from `start`, and the pool has a number for it.
std::optional<Refusal> prepareSerials(const StationSetup& setup, std::uint32_t start, const PreparedImage& image,
                                      std::unique_ptr<BoardSerials>& serials);
// The ports as devices: usb:… followed, each line once, "" for the configured port when none
// is given (refused when none is configured either).
std::optional<Refusal> resolveRunPorts(const std::vector<std::string>& given, const SettingsStore& store,
                                       std::vector<std::string>& ports);
// The record store a station names (none when it names none), opened before any frame.
std::optional<Refusal> openRecords(const StationSetup& setup, std::unique_ptr<RecordStore>& records);
// How a pool's problem ends a run.
Refusal poolRefusal(const PoolProblem& problem);

} // namespace pw
