#include "serial/LowLatency.h"

#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace pw {

std::optional<int> SerialFlagsDriver::read(int fd) const
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return std::nullopt;
    return info.flags;
}

bool SerialFlagsDriver::write(int fd, int flags) const
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return false;
    info.flags = flags;
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
}

const SerialFlagsDriver& kernelSerialFlags()
{
    static const SerialFlagsDriver kernel;
    return kernel;
}

std::optional<int> enableLowLatency(int fd, const SerialFlagsDriver& driver)
{
    const std::optional<int> flags = driver.read(fd);
    if (!flags || (*flags & ASYNC_LOW_LATENCY) != 0 || !driver.write(fd, *flags | ASYNC_LOW_LATENCY))
        return std::nullopt;
    return flags;
}

std::optional<std::filesystem::path> adapterAttribute(const std::string& device, const char* name,
                                                      const std::string& sysTty)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(device, error);
    if (error)
        return std::nullopt;
    return std::filesystem::path(sysTty) / node.filename() / "device" / name;
}

std::optional<int> latencyTimerMs(const std::string& device, const std::string& sysTty)
{
    const std::optional<std::filesystem::path> attribute = adapterAttribute(device, "latency_timer", sysTty);
    if (!attribute)
        return std::nullopt;
    std::ifstream timer(*attribute);
    int milliseconds = 0;
    if (!(timer >> milliseconds))
        return std::nullopt;
    return milliseconds;
}

std::string latencyAdvice(const std::string& device, int milliseconds)
{
    return "The adapter behind " + device + " holds received bytes for " + std::to_string(milliseconds) +
           " ms (its latency timer), which makes every operation many times slower. Install the udev rule "
           "60-pagewise.rules, or run: setserial " +
           device + " low_latency";
}

} // namespace pw
