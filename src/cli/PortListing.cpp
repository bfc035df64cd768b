#include "cli/PortListing.h"

#include "cli/JsonText.h"
#include "serial/SerialDevices.h"
#include "serial/UsbPortSpec.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace pw::cli {

namespace {

std::string jsonOrNull(const std::string& text)
{
    return text.empty() ? "null" : jsonString(text);
}

std::string deviceJson(const SerialDeviceInfo& info)
{
    const std::string latency = info.latencyTimerMs ? std::to_string(*info.latencyTimerMs) : "null";
    return "{\"device\":" + jsonString(info.node) + ",\"by_id\":" + jsonOrNull(info.byId) +
           ",\"vid\":" + jsonOrNull(info.vendorId) + ",\"pid\":" + jsonOrNull(info.productId) +
           ",\"serial\":" + jsonOrNull(info.serial) + ",\"manufacturer\":" + jsonOrNull(info.manufacturer) +
           ",\"product\":" + jsonOrNull(info.product) + ",\"driver\":" + jsonOrNull(info.driver) +
           ",\"latency_timer_ms\":" + latency + "}";
}

bool listed(const std::vector<SerialDeviceInfo>& devices, const std::string& path)
{
    return std::ranges::any_of(devices, [&](const SerialDeviceInfo& info) { return info.node == path || info.byId == path; });
}

} // namespace

void printPorts(const SettingsStore& store, bool json)
{
    const std::vector<SerialDeviceInfo> devices = describeSerialDevices();
    for (const SerialDeviceInfo& info : devices) {
        if (json) {
            std::printf("%s\n", deviceJson(info).c_str());
            continue;
        }
        std::printf("%s%s%s\n", info.node.c_str(), info.byId.empty() ? "" : "  ", info.byId.c_str());
        if (const std::string description = deviceDescription(info); !description.empty())
            std::printf("    %s\n", description.c_str());
    }
    for (const auto& [port, device] : store.readPortMap()) {
        if (listed(devices, device))
            continue;
        const std::string name = "COM" + std::to_string(port);
        if (json)
            std::printf("{\"device\":%s,\"settings_port\":%s}\n", jsonString(device).c_str(), jsonString(name).c_str());
        else
            std::printf("%s  (%s in the settings)\n", device.c_str(), name.c_str());
    }
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

} // namespace pw::cli
