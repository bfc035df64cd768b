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

// The field's text rewritten in the other base, as 32-bit numbers: hexadecimal text becomes
// signed decimal (FFFFFFFF -> -1), decimal text becomes upper-case hexadecimal (-1 ->
// FFFFFFFF). Only the leading number is read (12G -> 18). Empty text stays empty, and a text
// that does not begin with a number of the old base is left as it is.
std::string convertBase(std::string_view text, bool fromHex);

} // namespace pw
