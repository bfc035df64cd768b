#pragma once
#include "image/FirmwareImage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// The numbers a pool hands out: start, start + step, ... up to end (inclusive) when given.
struct PoolRange {
    std::uint64_t start = 1;
    std::uint64_t step = 1;
    std::optional<std::uint64_t> end;
};

// How a serial number is laid into flash: a binary integer (u8, u16le ... u64be), packed BCD
// of N bytes, most significant digit first (bcdN), or N zero-padded ASCII digits (decN).
struct SerialFormat {
    enum class Kind { Binary, Bcd, Decimal };
    Kind kind = Kind::Binary;
    std::size_t bytes = 1;
    bool bigEndian = false; // binary only
};

// --serial ADDR:FORMAT
struct SerialField {
    std::uint32_t address = 0;
    SerialFormat format;
};

// Reads ADDR:FORMAT; empty with the reason in `problem` when it is not one.
std::optional<SerialField> parseSerialField(const std::string& text, std::string& problem);
// The largest number the format holds.
std::uint64_t largestSerial(const SerialFormat& format);

// A number as it goes into flash, for the records.
struct PlacedSerial {
    std::uint64_t number = 0;
    std::string text; // the digits as written (bcd, dec); empty for a binary integer
    ImagePatch patch;
};
// Empty when the number does not fit the format.
std::optional<PlacedSerial> placeSerial(const SerialField& field, std::uint64_t number);

} // namespace pw
