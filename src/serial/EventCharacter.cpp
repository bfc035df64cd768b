#include "serial/EventCharacter.h"

#include "serial/LowLatency.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pw {

EventCharResult setEventCharacter(const std::string& device, std::uint8_t character, const std::string& sysTty)
{
    const std::optional<std::filesystem::path> attribute = adapterAttribute(device, "event_char", sysTty);
    if (!attribute)
        return EventCharResult::NoSuchAttribute;
    const int fd = ::open(attribute->c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? EventCharResult::NoSuchAttribute : EventCharResult::NotWritable;
    const std::string value = std::to_string(0x100 | character) + "\n"; // bit 8: enabled
    const bool written = ::write(fd, value.data(), value.size()) == static_cast<ssize_t>(value.size());
    ::close(fd);
    return written ? EventCharResult::Set : EventCharResult::NotWritable;
}

std::string eventCharAdvice(const std::string& device)
{
    return "The adapter behind " + device +
           " sends each reply only when its latency timer runs out: its event character could not be set to 0xFF. "
           "Install the udev rule 60-pagewise.rules, which sets it when the adapter is plugged in.";
}

} // namespace pw
