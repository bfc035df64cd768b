#include "line/LinePorts.h"

#include "serial/UsbPortSpec.h"

#include <algorithm>
#include <filesystem>

namespace pw {

ListedPorts listPorts(const SettingsStore& store)
{
    ListedPorts listed{describeSerialDevices(), {}};
    for (const auto& entry : store.readPortMap()) {
        const std::string& device = entry.second;
        const bool present = std::ranges::any_of(listed.devices, [&device](const SerialDeviceInfo& info) {
            return info.node == device || info.byId == device;
        });
        if (!present)
            listed.configured.emplace_back("COM" + std::to_string(entry.first), device);
    }
    return listed;
}

std::string adapterSerialOf(const std::string& device)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(device, error);
    for (const SerialDeviceInfo& info : describeSerialDevices())
        if (!error && info.node == node.string())
            return info.serial;
    return {};
}

ResolvedPorts resolvePorts(const std::vector<std::string>& ports)
{
    ResolvedPorts resolved;
    std::optional<std::vector<SerialDeviceInfo>> devices; // read once, only when needed
    for (const std::string& port : ports) {
        if (!isUsbPortSpec(port)) {
            resolved.ports.push_back(port);
            continue;
        }
        if (!devices)
            devices = describeSerialDevices();
        const UsbPortMatch match = resolveUsbPort(port, *devices);
        if (!match.error.empty())
            return {{}, match.error};
        resolved.ports.push_back(match.device);
    }
    return resolved;
}

} // namespace pw
