#pragma once
#include "base/NumberText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw::cli {

enum class Command { Program, Verify, Auto, Erase, Dump, Info, Ports, Station, Help, Version };

// Exit codes of pagewise-cli; a gang run exits with the worst of its ports.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitMismatch = 1,
    ExitNoReply = 2,
    ExitBadInput = 3,
    ExitPortError = 4,
    ExitInterrupted = 130,
};

struct CliOptions {
    Command command = Command::Help;
    std::string file;                 // program / verify / auto / info
    std::vector<std::string> ports;   // COMn or device paths; empty: the configured port
    std::optional<std::uint32_t> baud;
    std::optional<std::uint32_t> startAddr;
    std::optional<std::uint32_t> fromPage; // erase --pages FROM:COUNT, dump FROM COUNT
    std::optional<std::uint32_t> pageCount;
    bool dumpAsText = true;
    std::string output;               // dump -o FILE
    bool quiet = false;
    bool json = false;
    bool events = false;              // JSON lines on stdout while the run goes
    bool skipBlank = false;           // program / auto: leave out blocks that are all 0xFF
    Command stationCommand = Command::Auto; // station: what each board gets
    std::string recordFile;           // station --record FILE
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
