#pragma once
#include <cstdint>
#include <string>
#include <termios.h>

namespace pw {

// The line definition of an Open call as terminal settings: raw 8N1-style, no echo, no
// CR/LF translation, no flow control, receiver on, modem lines ignored.
struct LineSettingsError {
    const char* step = nullptr; // the call that refused, e.g. "cfsetspeed()"
    int error = 0;
};

// Fills `tio` (already read from the device); the step and errno of the first failure.
LineSettingsError applyLineSettings(termios& tio, std::uint32_t baud, char parity, std::uint32_t dataBits,
                                    std::uint32_t stopBits);
// The termios speed constant for a rate, or B0 when there is none.
speed_t speedFor(std::uint32_t baud);

} // namespace pw
