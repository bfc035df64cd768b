#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace pw {

// Port numbers COM1..COM24 to device paths. An unmapped COMn opens /dev/ttyS<n-1>.
// Read by whichever thread opens the port, written by the Configuration dialog: guarded.
class PortMap {
public:
    std::string deviceFor(std::uint32_t portNumber) const;
    // A choice to keep: it replaces a device given for this run only. An empty path unmaps.
    void assign(std::uint32_t portNumber, const std::string& devicePath);
    // A device given on the command line: used until the program ends, never saved.
    void assignForThisRun(std::uint32_t portNumber, const std::string& devicePath);
    // The entries to keep (what the settings file holds), without those for this run only.
    std::map<std::uint32_t, std::string> entries() const;
    void replaceAll(std::map<std::uint32_t, std::string> entries);

private:
    mutable std::mutex mutex_;
    std::map<std::uint32_t, std::string> entries_;
    std::map<std::uint32_t, std::string> forThisRun_;
};

} // namespace pw
