#include "line/SerialField.h"

#include "base/NumberText.h"

#include <algorithm>
#include <limits>
#include <map>

namespace pw {

namespace {

constexpr std::size_t kLargestBcdBytes = 10;      // 20 digits: every 64-bit number
constexpr std::size_t kLargestDecimalDigits = 20; // the same

const std::map<std::string, SerialFormat> kBinaryFormats{
    {"u8", {SerialFormat::Kind::Binary, 1, false}},   {"u16le", {SerialFormat::Kind::Binary, 2, false}},
    {"u16be", {SerialFormat::Kind::Binary, 2, true}}, {"u32le", {SerialFormat::Kind::Binary, 4, false}},
    {"u32be", {SerialFormat::Kind::Binary, 4, true}}, {"u64le", {SerialFormat::Kind::Binary, 8, false}},
    {"u64be", {SerialFormat::Kind::Binary, 8, true}},
};

// "bcd4", "dec10": the count after the prefix, from 1 to `largest`.
std::optional<SerialFormat> countedFormat(const std::string& name, const std::string& prefix, SerialFormat::Kind kind,
                                          std::size_t largest)
{
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size() || name[prefix.size()] == '0')
        return std::nullopt;
    const auto count = parseNumber(std::string_view(name).substr(prefix.size()));
    if (!count || *count < 1 || *count > largest)
        return std::nullopt;
    return SerialFormat{kind, *count, false};
}

std::uint64_t largestOfDigits(std::size_t digits)
{
    if (digits >= kLargestDecimalDigits)
        return std::numeric_limits<std::uint64_t>::max();
    std::uint64_t largest = 1;
    for (std::size_t k = 0; k < digits; ++k)
        largest *= 10;
    return largest - 1;
}

std::string zeroPadded(std::uint64_t number, std::size_t digits)
{
    std::string text = std::to_string(number);
    return std::string(digits - std::min(digits, text.size()), '0') + text;
}

} // namespace

std::optional<SerialField> parseSerialField(const std::string& text, std::string& problem)
{
    const auto colon = text.find(':');
    problem = "takes ADDR:FORMAT (u8, u16le, u16be, u32le, u32be, u64le, u64be, bcdN with N 1 to 10, decN "
              "with N 1 to 20), not '" +
              text + "'";
    if (colon == std::string::npos)
        return std::nullopt;
    const auto address = parseNumber(std::string_view(text).substr(0, colon));
    const std::string name = text.substr(colon + 1);
    std::optional<SerialFormat> format;
    if (const auto found = kBinaryFormats.find(name); found != kBinaryFormats.end())
        format = found->second;
    else if (name.rfind("bcd", 0) == 0)
        format = countedFormat(name, "bcd", SerialFormat::Kind::Bcd, kLargestBcdBytes);
    else
        format = countedFormat(name, "dec", SerialFormat::Kind::Decimal, kLargestDecimalDigits);
    if (!address || !format)
        return std::nullopt;
    problem.clear();
    return SerialField{*address, *format};
}

std::uint64_t largestSerial(const SerialFormat& format)
{
    switch (format.kind) {
    case SerialFormat::Kind::Binary:
        return format.bytes >= 8 ? std::numeric_limits<std::uint64_t>::max()
                                 : (std::uint64_t{1} << (8 * format.bytes)) - 1;
    case SerialFormat::Kind::Bcd: return largestOfDigits(2 * format.bytes);
    case SerialFormat::Kind::Decimal: return largestOfDigits(format.bytes);
    }
    return 0;
}

std::optional<PlacedSerial> placeSerial(const SerialField& field, std::uint64_t number)
{
    if (number > largestSerial(field.format))
        return std::nullopt;
    PlacedSerial placed{number, {}, {field.address, {}}};
    std::vector<std::uint8_t>& bytes = placed.patch.bytes;
    const SerialFormat& format = field.format;
    switch (format.kind) {
    case SerialFormat::Kind::Binary:
        for (std::size_t k = 0; k < format.bytes; ++k)
            bytes.push_back(static_cast<std::uint8_t>(number >> (8 * k)));
        if (format.bigEndian)
            std::reverse(bytes.begin(), bytes.end());
        break;
    case SerialFormat::Kind::Bcd:
        placed.text = zeroPadded(number, 2 * format.bytes);
        for (std::size_t k = 0; k < format.bytes; ++k)
            bytes.push_back(
                static_cast<std::uint8_t>((placed.text[2 * k] - '0') << 4 | (placed.text[2 * k + 1] - '0')));
        break;
    case SerialFormat::Kind::Decimal:
        placed.text = zeroPadded(number, format.bytes);
        bytes.assign(placed.text.begin(), placed.text.end());
        break;
    }
    return placed;
}

} // namespace pw
