#include "cli/PortListing.h"

#include "line/JsonWriter.h"
#include "line/LinePorts.h"

#include <cstdio>

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

} // namespace

void printPorts(const SettingsStore& store, bool json)
{
    const ListedPorts listed = listPorts(store);
    for (const SerialDeviceInfo& info : listed.devices) {
        if (json) {
            std::printf("%s\n", jsonLine(deviceObject(info)).c_str());
            continue;
        }
        std::printf("%s%s%s\n", info.node.c_str(), info.byId.empty() ? "" : "  ", info.byId.c_str());
        if (const std::string description = deviceDescription(info); !description.empty())
            std::printf("    %s\n", description.c_str());
    }
    for (const auto& [name, device] : listed.configured) {
        if (json)
            std::printf("%s\n", jsonLine({{"device", jsonText(device)}, {"settings_port", jsonText(name)}}).c_str());
        else
            std::printf("%s  (%s in the settings)\n", device.c_str(), name.c_str());
    }
}

} // namespace pw::cli
