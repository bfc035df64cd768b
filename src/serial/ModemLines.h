#pragma once
#include <string>

namespace pw {

// The two output lines a fixture may wire to the target's reset or power switch.
enum class ModemLine { Dtr, Rts };

const char* modemLineName(ModemLine line); // "DTR", "RTS"

// Raising and lowering a modem line (TIOCMBIS, TIOCMBIC). Tests stand in here for a UART's
// driver: a pseudo-terminal has no modem lines.
class ModemLinesDriver {
public:
    virtual ~ModemLinesDriver() = default;
    // The errno text when the driver refuses, else empty.
    virtual std::string set(int fd, ModemLine line, bool asserted) const;
};

const ModemLinesDriver& kernelModemLines();

} // namespace pw
