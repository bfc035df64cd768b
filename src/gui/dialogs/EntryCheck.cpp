#include "gui/dialogs/EntryCheck.h"

#include "base/NumberText.h"

namespace pw {

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isDecDigit(char c)
{
    return c >= '0' && c <= '9';
}

EntryCheck checkEntry(std::string_view text, std::uint32_t limit, bool hex)
{
    if (text.empty() || !(hex ? isHexDigit(text.back()) : isDecDigit(text.back())))
        return EntryNotDigit;
    const auto value = readEntry(text, hex);
    if (!value)
        return EntryNotDigit;
    return *value > limit ? EntryOutOfRange : EntryOk;
}

} // namespace

EntryCheck CheckHexEntry(std::string_view text, std::uint32_t limit)
{
    return checkEntry(text, limit, true);
}

EntryCheck CheckDecEntry(std::string_view text, std::uint32_t limit)
{
    return checkEntry(text, limit, false);
}

std::optional<std::string> entryRefusal(EntryCheck check, std::string_view notDigit, std::string_view outOfRange)
{
    switch (check) {
    case EntryNotDigit: return std::string(notDigit);
    case EntryOutOfRange: return std::string(outOfRange);
    case EntryOk: break;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> readEntry(std::string_view text, bool hex)
{
    if (hex)
        return readHexNumber(text);
    const auto value = readDecNumber(text);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::string entryText(std::uint32_t value, bool hex)
{
    return hex ? hexText(value) : decText(static_cast<std::int32_t>(value));
}

} // namespace pw
