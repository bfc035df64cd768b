#include "serial/LowLatency.h"

#include <filesystem>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>

namespace pw {

std::optional<int> enableLowLatency(int fd)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0)
        return std::nullopt;
    const int saved = info.flags;
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) != 0)
        return std::nullopt;
    return saved;
}

void restoreSerialFlags(int fd, int flags)
{
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0)
        return;
    info.flags = flags;
    ::ioctl(fd, TIOCSSERIAL, &info);
}

std::optional<int> latencyTimerMs(const std::string& device, const std::string& sysTty)
{
    std::error_code error;
    const std::filesystem::path node = std::filesystem::canonical(device, error);
    if (error)
        return std::nullopt;
    std::ifstream timer(std::filesystem::path(sysTty) / node.filename() / "device" / "latency_timer");
    int milliseconds = 0;
    if (!(timer >> milliseconds))
        return std::nullopt;
    return milliseconds;
}

std::string latencyAdvice(const std::string& device, int milliseconds)
{
    return "The adapter behind " + device + " holds received bytes for " + std::to_string(milliseconds) +
           " ms (its latency timer), which makes every operation many times slower. Install the udev rule "
           "60-pagewise.rules, or run: setserial " + device + " low_latency";
}

} // namespace pw
