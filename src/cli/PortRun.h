#pragma once
#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ConsoleReporting.h"
#include "line/PortSession.h"

#include <cstdint>
#include <string>

namespace pw::cli {

// One port of program, verify, auto, erase or dump: its session with the console's boxes and
// view, run once from open to close.
class PortRun {
public:
    PortRun(const CliOptions& options, const std::string& port, std::size_t slot, Console& console,
            const SettingsStore& store, BoardSerials* serials);
    PortOutcome run(const std::string& imagePath, std::uint64_t imageBytes);
    void interrupt() { session_.interrupt(); }

private:
    void runWithSerial(PortOutcome& outcome, const std::string& imagePath);

    const CliOptions& options_;
    std::size_t slot_;
    Console& console_;
    ConsoleBoxes boxes_;
    ConsoleView view_;
    PortSession session_;
};

// The `start` event that every run begins with.
void announceStart(Console& console, std::size_t slot, const char* operation, const std::string& imagePath,
                   std::uint64_t imageBytes);
const char* commandName(Command command);
// What the console prints besides messages: events, nothing (--quiet, --json) or all.
ConsoleMode consoleMode(const CliOptions& options);

} // namespace pw::cli
