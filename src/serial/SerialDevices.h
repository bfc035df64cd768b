#pragma once
#include <string>
#include <vector>

namespace pw {

// Where the listing looks; tests point it at a fake tree.
struct DeviceFolders {
    std::string dev = "/dev";
    std::string byId = "/dev/serial/by-id";
    std::string sysTty = "/sys/class/tty";
};

// Serial devices present on this machine: the stable /dev/serial/by-id links first, then
// ttyUSB*, ttyACM* and the ttyS* ports that have a UART behind them. Decided from sysfs
// alone: opening a port to ask can raise DTR and RTS, which resets many boards.
std::vector<std::string> listSerialDevices(const DeviceFolders& folders = {});

} // namespace pw
