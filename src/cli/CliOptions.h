#pragma once
#include "base/NumberText.h"
#include "cli/SerialField.h"
#include "base/Timings.h"
#include "serial/ModemLines.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw::cli {

enum class Command { Program, Verify, Auto, Erase, Dump, Info, Ports, Station, Serials, Help, Version };
enum class SerialsAction { Init, Show };

// Exit codes of pagewise-cli; a gang run exits with the worst of its ports.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitMismatch = 1,
    ExitNoReply = 2,
    ExitBadInput = 3,
    ExitPortError = 4,
    ExitNotKept =
        5, // what a run keeps (a record, a serial pool, a dump's file) could not be written, or the pool is used up
    ExitInterrupted = 130,
};

// --reset-pulse dtr|rts[:MS]: a fixture that wires a modem line to the target's reset.
struct ResetPulse {
    ModemLine line = ModemLine::Dtr;
    Millis width{100};
};

struct CliOptions {
    Command command = Command::Help;
    std::string file;               // program / verify / auto / info
    std::vector<std::string> ports; // COMn or device paths; empty: the configured port
    std::optional<std::uint32_t> baud;
    std::optional<std::uint32_t> startAddr;
    std::optional<std::uint32_t> fromPage; // erase --pages FROM:COUNT, dump FROM COUNT
    std::optional<std::uint32_t> pageCount;
    bool dumpAsText = true;
    std::string output; // dump -o FILE
    bool quiet = false;
    bool json = false;
    bool events = false;                    // JSON lines on stdout while the run goes
    bool skipBlank = false;                 // program / auto: leave out blocks that are all 0xFF
    Command stationCommand = Command::Auto; // station: what each board gets
    std::string recordFile;                 // station --record FILE
    unsigned retries = 0;                   // station: runs again after a time-out or a hang-up
    std::string beforeBoard;                // station: shell commands around each board
    std::string afterBoard;
    std::optional<ResetPulse> resetPulse;   // station: a modem line pulsed before each board
    std::optional<SerialField> serialField; // program / auto / station: --serial ADDR:FORMAT
    std::string serialPool;                 // --serial-pool, or the pool of serials init|show
    bool serialOverwrite = false;
    SerialsAction serialsAction = SerialsAction::Show;
    PoolRange poolRange; // serials init
};

struct ParseResult {
    std::optional<CliOptions> options; // empty when the arguments are wrong
    std::string error;                 // what is wrong, for stderr
};

// `args` without the program name.
ParseResult parseArguments(const std::vector<std::string>& args);
// The --help text, made from the same option table as the parser.
std::string usageText();

} // namespace pw::cli
