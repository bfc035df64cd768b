#include "image/HexRecord.h"

#include "base/HexDigit.h"

#include <cstdio>
#include <istream>

namespace pw {
namespace {

// Longest useful record text: 255 data bytes plus count, address, type and checksum.
constexpr std::size_t kMaxRecordDigits = std::size_t{2} * (255 + 5);
constexpr std::size_t kMaxKeptChars = kMaxRecordDigits + 64;

bool isTrailingSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string describeChar(char c)
{
    char text[32];
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x21 && code < 0x7F)
        std::snprintf(text, sizeof text, "character '%c'", c);
    else
        std::snprintf(text, sizeof text, "character 0x%02X", code);
    return text;
}

// Moves past the next ':', counting lines. False at the end of the stream.
bool skipToColon(std::istream& in, HexConverterState& state)
{
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == ':')
            return true;
        if (c == '\n')
            ++state.line;
    }
    return false;
}

// The rest of the line after ':', without trailing blanks. Consumes the line end.
std::string readRecordText(std::istream& in, HexConverterState& state)
{
    std::string text;
    for (int c = in.get(); c != std::char_traits<char>::eof(); c = in.get()) {
        if (c == '\n') {
            ++state.line;
            break;
        }
        if (text.size() < kMaxKeptChars)
            text.push_back(static_cast<char>(c));
    }
    while (!text.empty() && isTrailingSpace(text.back()))
        text.pop_back();
    return text;
}

struct RecordBytes {
    std::array<std::uint8_t, kMaxRecordDigits / 2> bytes{};
    std::size_t size = 0;
};

// The first non-digit among the first `length` characters, or false when there is none.
bool findNonDigit(const std::string& text, std::size_t length, std::string& error)
{
    for (std::size_t i = 0; i < length && i < text.size(); ++i) {
        if (hexDigitValue(text[i]) < 0) {
            error = describeChar(text[i]) + " is not a hexadecimal digit";
            return true;
        }
    }
    return false;
}

// Digits to bytes, refusing anything that is not a well-formed record. The byte count says
// how long the record is; what follows it on the line (a comment, a DOS end-of-file mark) is
// not part of it and is skipped.
bool decodeRecord(const std::string& text, RecordBytes& out, std::string& error)
{
    char msg[96];
    if (findNonDigit(text, 2, error))
        return false;
    if (text.size() < 10) {
        std::snprintf(msg, sizeof msg, "record has %zu digits, which is no whole record", text.size());
        error = msg;
        return false;
    }
    const std::uint8_t count = HexPairToByte(text[0], text[1]);
    const std::size_t needed = 2 * (std::size_t{count} + 5);
    if (findNonDigit(text, needed, error))
        return false;
    if (text.size() < needed) {
        std::snprintf(msg, sizeof msg, "byte count %02X needs %zu digits, the line has %zu", count, needed,
                      text.size());
        error = msg;
        return false;
    }
    out.size = needed / 2;
    for (std::size_t i = 0; i < out.size; ++i)
        out.bytes[i] = HexPairToByte(text[2 * i], text[2 * i + 1]);
    return true;
}

bool checkSum(const RecordBytes& rec, std::string& error)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < rec.size; ++i)
        sum += rec.bytes[i];
    const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
    const unsigned found = rec.bytes[rec.size - 1];
    if (found == expected)
        return true;
    char msg[64];
    std::snprintf(msg, sizeof msg, "record checksum is %02X, expected %02X", found, expected);
    error = msg;
    return false;
}

void takeData(const RecordBytes& rec, HexConverterState& state, HexRecord& record)
{
    std::uint32_t address = (std::uint32_t{rec.bytes[1]} << 8) | rec.bytes[2];
    // Banked code: only the upper half of the 64 KiB window is switched.
    if (state.hexBank != 0 && address >= 0x8000)
        address += state.hexBankOffset;
    record.address = address;
    record.count = rec.bytes[0];
    for (std::uint32_t i = 0; i < record.count; ++i) {
        record.data[i] = rec.bytes[4 + i];
        state.hexDataSum += rec.bytes[4 + i];
    }
}

HexRecordResult interpret(const RecordBytes& rec, HexConverterState& state, HexRecord& record)
{
    switch (rec.bytes[3]) {
    case 0: takeData(rec, state, record); return HexRecordResult::Record;
    case 1: return HexRecordResult::EndOfFile;
    case 2: return HexRecordResult::SegmentAddress;
    case 4:
        if (rec.bytes[0] != 2) {
            record.error = "extended linear address record must carry 2 data bytes";
            return HexRecordResult::Malformed;
        }
        state.hexBank = (std::uint32_t{rec.bytes[4]} << 8) | rec.bytes[5];
        state.hexBankOffset = state.hexBank * 0x8000;
        return HexRecordResult::Record;
    default: return HexRecordResult::Record; // start addresses and unknown types add nothing
    }
}

} // namespace

std::uint8_t HexPairToByte(char high, char low)
{
    const auto value = [](char c) {
        const int v = hexDigitValue(c);
        return v >= 0 ? v : static_cast<unsigned char>(c);
    };
    return static_cast<std::uint8_t>(value(high) * 16 + value(low));
}

HexRecordResult ReadHexRecord(std::istream& in, HexConverterState& state, HexRecord& record)
{
    record.count = 0;
    record.error.clear();
    if (!skipToColon(in, state)) {
        record.line = state.line;
        record.error = "file ends before the end-of-file record";
        return HexRecordResult::Malformed;
    }
    record.line = state.line;
    RecordBytes rec;
    const std::string text = readRecordText(in, state);
    if (!decodeRecord(text, rec, record.error) || !checkSum(rec, record.error))
        return HexRecordResult::Malformed;
    return interpret(rec, state, record);
}

} // namespace pw
