#include "image/HexToBin.h"

#include "image/ImageMessages.h"
#include "image/ReplaceFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>

namespace pw {
namespace {

constexpr const char* kSegmentAddressText = "不支持擴展段地址記錄!";

std::string lineError(const std::string& name, std::uint32_t line, const std::string& what)
{
    return "File : " + name + " line " + std::to_string(line) + ": " + what;
}

std::string beyondImageText(std::uint32_t address)
{
    char text[96];
    std::snprintf(text, sizeof text, "data at 0x%X lies beyond the 16 MiB image", address);
    return text;
}

bool placeRecord(const HexRecord& record, const std::string& name, std::vector<std::uint8_t>& image, std::string& error)
{
    const std::uint64_t end = std::uint64_t{record.address} + record.count;
    if (end > kImageCapacity) {
        error = lineError(name, record.line, beyondImageText(record.address));
        return false;
    }
    if (end > image.size()) {
        try {
            image.resize(static_cast<std::size_t>(end), 0xFF);
        } catch (const std::bad_alloc&) {
            error = allocationFailedText();
            return false;
        }
    }
    std::copy_n(record.data.begin(), record.count, image.begin() + record.address);
    return true;
}

} // namespace

bool convertHexStream(std::istream& in, const std::string& name, HexConverterState& state,
                      std::vector<std::uint8_t>& image, std::string& error)
{
    state.hexBank = 0;
    state.hexBankOffset = 0;
    state.line = 1;
    image.clear();
    HexRecord record;
    for (;;) {
        switch (ReadHexRecord(in, state, record)) {
        case HexRecordResult::EndOfFile: return true;
        case HexRecordResult::SegmentAddress: error = kSegmentAddressText; return false;
        case HexRecordResult::Malformed: error = lineError(name, record.line, record.error); return false;
        case HexRecordResult::Record:
            if (!placeRecord(record, name, image, error))
                return false;
            break;
        }
    }
}

bool ConvertHexToBin(const std::string& hexPath, const std::string& binPath, HexConverterState& state,
                     MessageBoxes& boxes)
{
    std::ifstream in(hexPath, std::ios::binary);
    if (!in) {
        showErrorBox(boxes, openFailedText(hexPath));
        return false;
    }
    std::vector<std::uint8_t> image;
    std::string error;
    if (!convertHexStream(in, hexPath, state, image, error)) {
        showErrorBox(boxes, error);
        return false;
    }
    if (!writeFileReplacing(binPath, image)) {
        showErrorBox(boxes, openFailedText(binPath));
        return false;
    }
    std::error_code ec;
    const std::uintmax_t length = std::filesystem::file_size(hexPath, ec);
    state.sourceSize = ec ? 0 : static_cast<std::uint32_t>(length);
    return true;
}

} // namespace pw
