#include "serial/SerialDevices.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace pw {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> sortedEntries(const fs::path& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0)
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A tty with a device behind it. The kernel makes a ttyS node for every possible UART; the
// serial core's "type" attribute is 0 (unknown) where none answered at boot.
bool hasDevice(const fs::path& sysTty, const std::string& name)
{
    std::error_code error;
    if (!fs::exists(sysTty / name / "device", error))
        return false;
    if (name.compare(0, 4, "ttyS") != 0)
        return true;
    std::ifstream typeFile(sysTty / name / "type");
    int type = 0;
    if (!(typeFile >> type))
        return true; // no type to tell by: list it, the user may know better
    return type != 0;
}

} // namespace

std::vector<std::string> listSerialDevices(const DeviceFolders& folders)
{
    std::vector<std::string> devices = sortedEntries(folders.byId, "");
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        for (const std::string& path : sortedEntries(folders.dev, prefix)) {
            if (hasDevice(folders.sysTty, fs::path(path).filename().string()))
                devices.push_back(path);
        }
    }
    return devices;
}

} // namespace pw
