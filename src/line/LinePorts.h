#pragma once
#include "serial/SerialDevices.h"
#include "settings/Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace pw {

// The ports a line can use: each serial device present with what sysfs tells of it, then the
// ports of the settings that name something else (a pseudo-terminal, a device not plugged in).
struct ListedPorts {
    std::vector<SerialDeviceInfo> devices;
    std::vector<std::pair<std::string, std::string>> configured; // COMn, the device it names
};
ListedPorts listPorts(const SettingsStore& store);

// Ports with usb:… replaced by the device they name; an error when one names no adapter or
// several.
struct ResolvedPorts {
    std::vector<std::string> ports;
    std::optional<std::string> error;
};
ResolvedPorts resolvePorts(const std::vector<std::string>& ports);
// The USB serial number of the adapter behind `device` (a node or a link), or "".
std::string adapterSerialOf(const std::string& device);

} // namespace pw
