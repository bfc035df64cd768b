#pragma once
#include "serial/LowLatency.h"

#include <optional>
#include <string>
#include <vector>

namespace pw {

// Where the listing looks; tests point it at a fake tree.
struct DeviceFolders {
    std::string dev = "/dev";
    std::string byId = "/dev/serial/by-id";
    std::string sysTty = kSysClassTty;
};

// Serial devices present on this machine: the stable /dev/serial/by-id links first, then
// ttyUSB*, ttyACM* and the ttyS* ports that have a UART behind them. Decided from sysfs
// alone: opening a port to ask can raise DTR and RTS, which resets many boards.
std::vector<std::string> listSerialDevices(const DeviceFolders& folders = {});

// One serial device as sysfs describes it; the USB fields are empty for other devices.
struct SerialDeviceInfo {
    std::string node;                // /dev/ttyUSB0
    std::string byId;                // its stable /dev/serial/by-id link, or ""
    std::string vendorId, productId; // "0403", "6001"
    std::string serial, manufacturer, product;
    std::string driver; // "ftdi_sio"
    std::optional<int> latencyTimerMs;
};

// The devices of listSerialDevices, one per node, with what sysfs tells of each.
std::vector<SerialDeviceInfo> describeSerialDevices(const DeviceFolders& folders = {});
// One line for a person: "FTDI FT232R USB UART, usb 0403:6001 serial A1B2C3, driver ftdi_sio,
// latency timer 16 ms"; "" when sysfs tells nothing.
std::string deviceDescription(const SerialDeviceInfo& info);

} // namespace pw
