#include "base/NumberText.h"

#include "base/HexDigit.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

namespace pw {

namespace {

bool isDecDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t skipBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
        ++i;
    return i;
}

} // namespace

std::optional<std::uint32_t> readHexNumber(std::string_view text)
{
    std::size_t i = skipBlanks(text);
    // "0x" is a prefix only when a digit follows; otherwise the 0 alone is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        hexDigitValue(text[i + 2]) >= 0)
        i += 2;
    std::uint64_t value = 0;
    bool any = false;
    for (; i < text.size() && hexDigitValue(text[i]) >= 0; ++i) {
        value = std::min<std::uint64_t>(value * 16 + static_cast<std::uint64_t>(hexDigitValue(text[i])), 0xFFFFFFFFu);
        any = true;
    }
    if (!any)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::int32_t> readDecNumber(std::string_view text)
{
    std::size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    bool any = false;
    for (; i < text.size() && isDecDigit(text[i]); ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), kMax + 1);
        any = true;
    }
    if (!any)
        return std::nullopt;
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, kMax));
}

std::string hexText(std::uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", static_cast<unsigned>(value));
    return buffer;
}

std::string decText(std::int32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(value));
    return buffer;
}

std::string hexDecText(std::uint64_t value)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%llX(%lld)", static_cast<unsigned long long>(value),
                  static_cast<long long>(value));
    return buffer;
}

std::optional<std::uint32_t> parseNumber(std::string_view text)
{
    const auto value = parseWideNumber(text);
    if (!value || *value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint64_t> parseWideNumber(std::string_view text)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, base);
    if (error != std::errc() || stop != end || begin == end)
        return std::nullopt;
    return value;
}

std::optional<std::uint32_t> comPortNumber(std::string_view text)
{
    if (text.size() < 4 || text.substr(0, 3) != "COM" || text[3] == '0')
        return std::nullopt;
    const auto number = parseNumber(text.substr(3));
    if (!number || *number < 1 || *number > kLastComPort)
        return std::nullopt;
    return number;
}

std::string convertBase(std::string_view text, bool fromHex)
{
    if (fromHex) {
        const auto value = readHexNumber(text);
        return value ? decText(static_cast<std::int32_t>(*value)) : std::string(text);
    }
    const auto value = readDecNumber(text);
    return value ? hexText(static_cast<std::uint32_t>(*value)) : std::string(text);
}

} // namespace pw
