#pragma once
#include "serial/SerialDevices.h"

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// "usb:SERIAL" or "usb:VID:PID[:SERIAL]" names a USB serial adapter by what it is, so a port
// stays put whichever node the adapter gets when it is plugged in again.
bool isUsbPortSpec(std::string_view text);

struct UsbPortMatch {
    std::string device; // its /dev/serial/by-id link where it has one, else its node
    std::string error;  // no match or several, with the adapters present; "" on a match
};

// The one adapter among `devices` that `wanted` names.
UsbPortMatch resolveUsbPort(const std::string& wanted, const std::vector<SerialDeviceInfo>& devices);

} // namespace pw
