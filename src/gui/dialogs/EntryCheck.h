#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pw {

// The verdict on the text of a number field.
enum EntryCheck { EntryOk = 0, EntryNotDigit = 1, EntryOutOfRange = 2 };

// Empty text, or a last character that is not a digit of the base, is EntryNotDigit; so is a
// text that does not begin with a number (pasted text), since no value can be read from it.
// A value above `limit`, taken as unsigned 32 bits, is EntryOutOfRange (a negative decimal
// number included).
EntryCheck CheckHexEntry(std::string_view text, std::uint32_t limit);
EntryCheck CheckDecEntry(std::string_view text, std::uint32_t limit);

// The box text for a refused entry: `notDigit` or `outOfRange` as the check found; nothing for
// an entry that is fine.
std::optional<std::string> entryRefusal(EntryCheck check, std::string_view notDigit, std::string_view outOfRange);

// The number the field holds in its base, read as "%X" or "%d" and taken as unsigned 32 bits;
// empty when no number could be read.
std::optional<std::uint32_t> readEntry(std::string_view text, bool hex);
// `value` written in the field's base, "%X" or "%d".
std::string entryText(std::uint32_t value, bool hex);

} // namespace pw
