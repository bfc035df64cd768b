#pragma once
#include "context/IspContext.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// The persisted settings: an INI file per user ($XDG_CONFIG_HOME/Corvane/Pagewise.conf), over
// machine-wide defaults (/etc/xdg/Corvane/Pagewise.conf). Values live in the group
// "Software\Corvane\Pagewise\HZ41C120" as 32-bit numbers; port devices in [Ports] as COMn=path.
// A missing file gives the defaults; a garbled one gives them too, is never rewritten (nothing
// in it is lost) and is named by problems(), which the front ends tell the user once. On disk the group is written escaped:
//   [Software%5CCorvane%5CPagewise%5CHZ41C120]
//   COMPort=3
//   BaudRate=115200
//   ISP%20Start%20Addr=4096
//   [Ports]
//   COM3=/dev/ttyUSB0
// A section typed as [Software\Corvane\Pagewise\HZ41C120] with "ISP Start Addr=..." is read
// too (numbers in decimal or 0x hex); the next save moves such a value into the escaped group.
class SettingsStore {
public:
    SettingsStore(); // the standard per-user and machine-wide files
    SettingsStore(std::string userFile, std::string systemFile);

    std::optional<std::uint32_t> readValue(const std::string& name) const;
    bool writeValue(const std::string& name, std::uint32_t value);
    std::map<std::uint32_t, std::string> readPortMap() const;
    bool writePortMap(const std::map<std::uint32_t, std::string>& entries);

    const std::string& userFile() const { return userFile_; }
    // One text per settings file that exists but cannot be used, naming the file and the line
    // that is wrong: its values fall back to their defaults, and it is never rewritten.
    std::vector<std::string> problems() const;

private:
    std::string userFile_;
    std::string systemFile_;
};

// Load and save procedures with their defaults and clamps.
void loadPort(IspContext& ctx, const SettingsStore& store);         // "COMPort": low 8 bits, 1..24, else 1
std::uint8_t portSetting(const SettingsStore& store);               // the same value, without a context
void loadRate(IspContext& ctx, const SettingsStore& store);         // "BaudRate": 9600/57600/115200, else 9600
void loadStartAddress(IspContext& ctx, const SettingsStore& store); // "ISP Start Addr": <= 0x10000, else 0
std::uint32_t startAddressSetting(const SettingsStore& store);      // the same value, without a context
void loadPortMap(IspContext& ctx, const SettingsStore& store);
void loadSettings(IspContext& ctx, const SettingsStore& store); // port, rate, start address, map
void savePort(const IspContext& ctx, SettingsStore& store);
void saveRate(const IspContext& ctx, SettingsStore& store);
void saveStartAddress(const IspContext& ctx, SettingsStore& store);
void savePortMap(const IspContext& ctx, SettingsStore& store);

} // namespace pw
