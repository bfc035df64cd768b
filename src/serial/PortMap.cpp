#include "serial/PortMap.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace pw {

namespace fs = std::filesystem;

std::string PortMap::deviceFor(std::uint32_t portNumber) const
{
    {
        std::lock_guard lock(mutex_);
        const auto found = entries_.find(portNumber);
        if (found != entries_.end())
            return found->second;
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

void PortMap::assign(std::uint32_t portNumber, const std::string& devicePath)
{
    std::lock_guard lock(mutex_);
    if (devicePath.empty())
        entries_.erase(portNumber);
    else
        entries_[portNumber] = devicePath;
}

std::map<std::uint32_t, std::string> PortMap::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

void PortMap::replaceAll(std::map<std::uint32_t, std::string> entries)
{
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
}

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

// ttyS nodes exist for every possible UART; only those with hardware behind them count.
// A port that cannot be opened to ask is listed: the user may still know better.
bool hasDevice(const std::string& path)
{
    const std::string name = fs::path(path).filename().string();
    std::error_code error;
    if (!fs::exists(fs::path("/sys/class/tty") / name / "device", error))
        return false;
    if (name.compare(0, 4, "ttyS") != 0)
        return true;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return true;
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) != 0 || info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

} // namespace

std::vector<std::string> listSerialDevices()
{
    std::vector<std::string> devices = sortedEntries("/dev/serial/by-id", "");
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        for (const std::string& path : sortedEntries("/dev", prefix)) {
            if (hasDevice(path))
                devices.push_back(path);
        }
    }
    return devices;
}

} // namespace pw
