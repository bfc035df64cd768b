#include "sim/FrameLog.h"

namespace pw::sim {

std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::string logLine(const FrameLogEntry& entry)
{
    const char direction = entry.direction == FrameDirection::In    ? '<'
                           : entry.direction == FrameDirection::Out ? '>'
                                                                    : '?';
    return std::to_string(entry.us) + ' ' + direction + ' ' + hexBytes(entry.bytes);
}

} // namespace pw::sim
