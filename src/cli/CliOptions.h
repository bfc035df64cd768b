#pragma once
#include "line/Outcomes.h"
#include "line/StationSetup.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pw::cli {

enum class Command { Program, Verify, Auto, Erase, Dump, Info, Ports, Station, Serials, Db, Help, Version };
enum class SerialsAction { Init, Show };

struct CliOptions {
    Command command = Command::Help;
    // What a run is given: setup.image is the FILE of program, verify, auto and info;
    // setup.ports empty: the configured port; setup.serialPool is also the POOL of serials.
    StationSetup setup;
    std::set<std::string> given;           // the setup's keys given on the command line
    std::string profile;                   // station --profile FILE
    std::optional<std::uint32_t> fromPage; // erase --pages FROM:COUNT, dump FROM COUNT
    std::optional<std::uint32_t> pageCount;
    bool dumpAsText = true;
    std::string output; // dump -o FILE
    bool quiet = false;
    bool json = false;
    bool events = false; // JSON lines on stdout while the run goes
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
