#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// Reads a number the way "%X" does: leading blanks skipped, an optional 0x/0X prefix, digits
// (either case) up to the first character that is not one. Empty when no digit was read.
// Values beyond 32 bits saturate at 0xFFFFFFFF.
std::optional<std::uint32_t> readHexNumber(std::string_view text);
// Reads a number the way "%d" does: leading blanks skipped, an optional sign, digits up to the
// first non-digit. Empty when no digit was read. Saturates at the 32-bit signed range.
std::optional<std::int32_t> readDecNumber(std::string_view text);

std::string hexText(std::uint32_t value); // "%X"
std::string decText(std::int32_t value);  // "%d"
// A byte address as the dialogs show it: "%X(%d)", hexadecimal then decimal in parentheses.
std::string hexDecText(std::uint64_t value);

// A whole number as a user types it in a file or on the command line: decimal, or
// hexadecimal after 0x/0X; no sign, no blanks, nothing after it, and it fits 32 bits.
std::optional<std::uint32_t> parseNumber(std::string_view text);
// The same, up to 64 bits (serial numbers).
std::optional<std::uint64_t> parseWideNumber(std::string_view text);
inline constexpr std::uint32_t kLastComPort = 24;
// "COM1" to "COM24" (no leading zero) gives 1 to 24; anything else nothing.
std::optional<std::uint32_t> comPortNumber(std::string_view text);

// The field's text rewritten in the other base, as 32-bit numbers: hexadecimal text becomes
// signed decimal (FFFFFFFF -> -1), decimal text becomes upper-case hexadecimal (-1 ->
// FFFFFFFF). Only the leading number is read (12G -> 18). Empty text stays empty, and a text
// that does not begin with a number of the old base is left as it is.
std::string convertBase(std::string_view text, bool fromHex);

} // namespace pw
