#include "cli/PortListing.h"

#include "cli/JsonWriter.h"
#include "serial/SerialDevices.h"
#include "serial/UsbPortSpec.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace pw::cli {

namespace {

QJsonObject deviceObject(const SerialDeviceInfo& info)
{
    return {{"device", jsonText(info.node)},
            {"by_id", jsonTextOrNull(info.byId)},
            {"vid", jsonTextOrNull(info.vendorId)},
            {"pid", jsonTextOrNull(info.productId)},
            {"serial", jsonTextOrNull(info.serial)},
            {"manufacturer", jsonTextOrNull(info.manufacturer)},
            {"product", jsonTextOrNull(info.product)},
            {"driver", jsonTextOrNull(info.driver)},
            {"latency_timer_ms", info.latencyTimerMs ? QJsonValue(*info.latencyTimerMs) : QJsonValue()}};
}

bool listed(const std::vector<SerialDeviceInfo>& devices, const std::string& path)
{
    return std::ranges::any_of(devices,
                               [&](const SerialDeviceInfo& info) { return info.node == path || info.byId == path; });
}

} // namespace

void printPorts(const SettingsStore& store, bool json)
{
    const std::vector<SerialDeviceInfo> devices = describeSerialDevices();
    for (const SerialDeviceInfo& info : devices) {
        if (json) {
            std::printf("%s\n", jsonLine(deviceObject(info)).c_str());
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
            std::printf("%s\n", jsonLine({{"device", jsonText(device)}, {"settings_port", jsonText(name)}}).c_str());
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
