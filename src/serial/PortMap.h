#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace pw {

// Port numbers COM1..COM24 to device paths. An unmapped COMn opens /dev/ttyS<n-1>.
// Read by whichever thread opens the port, written by the Configuration dialog: guarded.
class PortMap {
public:
    std::string deviceFor(std::uint32_t portNumber) const;
    void assign(std::uint32_t portNumber, const std::string& devicePath); // empty path unmaps
    std::map<std::uint32_t, std::string> entries() const;
    void replaceAll(std::map<std::uint32_t, std::string> entries);

private:
    mutable std::mutex mutex_;
    std::map<std::uint32_t, std::string> entries_;
};

// Serial devices present on this machine: /dev/serial/by-id/* first, then /dev/ttyUSB*,
// /dev/ttyACM* and /dev/ttyS* that have a real device behind them.
std::vector<std::string> listSerialDevices();

} // namespace pw
