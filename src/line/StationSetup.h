#pragma once
#include "base/Timings.h"
#include "line/SerialField.h"
#include "serial/ModemLines.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw {

enum class StationOperation { Auto, Program };

// A fixture that wires a modem line to the target's reset.
struct ResetPulse {
    ModemLine line = ModemLine::Dtr;
    Millis width{100};
};

// A line as its operator sets it up: what a station profile holds, and what the station's
// command-line options give. Each field has a key, the option's long name.
struct StationSetup {
    std::string image;                                   // image: .hex or .bin
    StationOperation operation = StationOperation::Auto; // operation: auto or program
    std::vector<std::string> ports;                      // port: COMn, device paths, usb:SERIAL
    std::optional<std::uint32_t> baud;                   // baud: else the settings'
    std::optional<std::uint32_t> startAddr;              // start-addr: else the settings'
    std::string record;                                  // record: a file of JSON lines, or db:LINE
    unsigned retries = 0;                                // retries: after a time-out or a hang-up
    std::string beforeBoard;                             // before-board, after-board: shell commands
    std::string afterBoard;
    std::optional<ResetPulse> resetPulse; // reset-pulse: dtr|rts[:MS]
    std::optional<SerialField> serial;    // serial: ADDR:FORMAT
    std::string serialPool;               // serial-pool: a journal file, or db:NAME
    std::string database;                 // database: libpq's connection string for db: names
    bool serialOverwrite = false;         // serial-overwrite
    bool skipBlank = false;               // skip-blank: leave out blocks that are all 0xFF
};

// The keys, in the order a saved profile lists them.
const std::vector<std::string>& stationKeys();
bool isFlagKey(const std::string& key); // serial-overwrite, skip-blank: true or false
// Sets one key from its text (a flag from "true" or "false"; port: one or more, separated by
// commas, added to those there are; an empty value leaves a key unset). Empty when it is set, else what is wrong with the value,
// to follow the key's name: "must be 9600, 57600 or 115200, not '1200'".
std::string setStationValue(StationSetup& setup, const std::string& key, const std::string& value);
// The key's value as a profile writes it; empty when it is not set.
std::string stationValue(const StationSetup& setup, const std::string& key);
// What the values say together that none says alone; empty when they fit.
std::string stationSetupProblem(const StationSetup& setup);

const char* operationName(StationOperation operation); // "auto", "program"
std::string resetPulseText(const ResetPulse& pulse);   // "dtr:100"
std::string serialFieldText(const SerialField& field); // "0x7FF0:u32le"

} // namespace pw
