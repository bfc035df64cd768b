#pragma once
#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace pw {

// What one conversion keeps between records, and what it leaves for the size and checksum
// display afterwards.
struct HexConverterState {
    std::uint32_t hexBank = 0;       // value of the last extended linear address record
    std::uint32_t hexBankOffset = 0; // hexBank * 0x8000
    std::uint32_t hexDataSum = 0;    // sum of every data byte of every data record
    std::uint32_t sourceSize = 0;    // length of the HEX file, set when a conversion succeeds
    std::uint32_t line = 1;          // line the reader is on, for error texts
};

enum class HexRecordResult : int {
    Record = 0,         // a record was read (data or skipped type); go on
    EndOfFile = 1,      // end-of-file record
    SegmentAddress = 2, // extended segment address record: not supported, stop
    Malformed = 3,      // see HexRecord::error; stop
};

struct HexRecord {
    std::uint32_t address = 0; // mapped address of the data
    std::uint32_t count = 0;   // data bytes yielded (0 for every record but data)
    std::array<std::uint8_t, 256> data{};
    std::uint32_t line = 0; // line of the record's ':' (or of the end of the file)
    std::string error;      // what is wrong, when the result is Malformed
};

// Two characters to one byte. A character that is not a hexadecimal digit keeps its own
// character code; callers that care check the digits first.
std::uint8_t HexPairToByte(char high, char low);

// Skips to the next ':' and reads one record. Checks the digits, the byte count against the
// line and the record checksum. Addresses of 0x8000 and above move by the bank offset once
// an extended linear address record has chosen a bank other than 0.
HexRecordResult ReadHexRecord(std::istream& in, HexConverterState& state, HexRecord& record);

} // namespace pw
