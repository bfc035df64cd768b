#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace pw {

// USB serial adapters hold received bytes until their latency timer runs out (16 ms by default
// on the most common family), so every 7-byte reply would cost 16 ms instead of well under one.
// Linux lowers the timer to 1 ms when the port is in low-latency mode, which an ordinary user
// may set. Ports whose driver has no such flag (pseudo-terminals, some drivers) are left alone.

// The driver's serial flags (TIOCGSERIAL, TIOCSSERIAL). Tests stand in here for a UART's
// driver, which a test machine need not have.
class SerialFlagsDriver {
public:
    virtual ~SerialFlagsDriver() = default;
    // Nothing when the driver keeps no such flags (a pseudo-terminal).
    virtual std::optional<int> read(int fd) const;
    virtual bool write(int fd, int flags) const;
};

const SerialFlagsDriver& kernelSerialFlags();

// Sets ASYNC_LOW_LATENCY; the flags as they were, to restore on close, or nothing when the
// driver does not support it or the flag was already set.
std::optional<int> enableLowLatency(int fd, const SerialFlagsDriver& driver);

// Where the kernel lists the terminals; tests stand in for it with a folder of their own.
inline constexpr const char* kSysClassTty = "/sys/class/tty";

// The path of an attribute of the adapter behind `device` (a node or a link such as
// /dev/serial/by-id/...): <sysTty>/<tty name>/device/<name>; nothing when `device` does not exist.
std::optional<std::filesystem::path> adapterAttribute(const std::string& device, const char* name,
                                                      const std::string& sysTty);

// The adapter's latency timer in milliseconds where its driver exposes one in sysfs.
std::optional<int> latencyTimerMs(const std::string& device, const std::string& sysTty = kSysClassTty);

// What to tell the user about a timer still above 1 ms: the figure and how to lower it.
std::string latencyAdvice(const std::string& device, int milliseconds);

} // namespace pw
