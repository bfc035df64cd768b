#include "serial/PortMap.h"

namespace pw {

std::string PortMap::deviceFor(std::uint32_t portNumber) const
{
    {
        std::lock_guard lock(mutex_);
        for (const auto* map : {&forThisRun_, &entries_}) {
            const auto found = map->find(portNumber);
            if (found != map->end())
                return found->second;
        }
    }
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

void PortMap::assignForThisRun(std::uint32_t portNumber, const std::string& devicePath)
{
    std::lock_guard lock(mutex_);
    forThisRun_[portNumber] = devicePath;
}

void PortMap::assign(std::uint32_t portNumber, const std::string& devicePath)
{
    std::lock_guard lock(mutex_);
    forThisRun_.erase(portNumber);
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

} // namespace pw
