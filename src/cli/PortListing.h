#pragma once
#include "settings/Settings.h"

#include <string>

namespace pw::cli {

// pagewise-cli ports: each serial device present with what sysfs tells of it, then the ports
// of the settings that name something else (a pseudo-terminal, a device not plugged in).
void printPorts(const SettingsStore& store, bool json);

} // namespace pw::cli
