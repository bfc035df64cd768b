#pragma once
#include "settings/Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace pw::cli {

// pagewise-cli ports: each serial device present with what sysfs tells of it, then the ports
// of the settings that name something else (a pseudo-terminal, a device not plugged in).
void printPorts(const SettingsStore& store, bool json);

// --port values with usb:… replaced by the device they name; an error when one names no
// adapter or several.
struct ResolvedPorts {
    std::vector<std::string> ports;
    std::optional<std::string> error;
};
ResolvedPorts resolvePorts(const std::vector<std::string>& ports);
// The USB serial number of the adapter behind `device` (a node or a link), or "".
std::string adapterSerialOf(const std::string& device);

} // namespace pw::cli
