#pragma once
#include <cstdint>
#include <string>

namespace pw {

// An FTDI adapter hands what it has received to the host when its latency timer runs out, or
// at once when a chosen character arrives: ftdi_sio takes that character in sysfs as the
// adapter's attribute event_char (the character in the low 8 bits, bit 8 enables it).
// Every reply of the boot loader ends with 0xFF, so with 0xFF as the event character a reply
// reaches the program when its last byte does. The attribute cannot be read back. The other
// adapters the udev rule names (CP210x, CH340, PL2303) offer nothing of the kind to Linux: their
// drivers have no event character and no latency timer to set.
inline constexpr std::uint8_t kReplyEnd = 0xFF;

enum class EventCharResult { Set, NoSuchAttribute, NotWritable };

// Sets `character` as the event character of the adapter behind `device` (a node or a link).
EventCharResult setEventCharacter(const std::string& device, std::uint8_t character, const std::string& sysTty);

// What to tell the user where it could not be set: what it costs and how to mend it.
std::string eventCharAdvice(const std::string& device);

} // namespace pw
