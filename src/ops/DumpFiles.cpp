#include "ops/DumpFiles.h"

#include "image/ReplaceFile.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace pw {

namespace {

constexpr std::size_t kRowBytes = 16;

void appendRow(std::string& text, std::span<const std::uint8_t> row, std::uint32_t address)
{
    char cell[16];
    std::snprintf(cell, sizeof cell, "%08xh : ", address);
    text += cell;
    for (std::size_t k = 0; k < row.size(); ++k) {
        std::snprintf(cell, sizeof cell, k == 0 ? "%02X" : " %02X", row[k]);
        text += cell;
    }
    text += "\r\n";
}

} // namespace

std::optional<std::string> dumpListing(std::span<const std::uint8_t> bytes, std::uint32_t start,
                                       const ManualResetEvent& cancel)
{
    std::string text;
    text.reserve(bytes.size() / kRowBytes * 64);
    for (std::size_t offset = 0; offset < bytes.size(); offset += kRowBytes) {
        if (cancel.isSet())
            return std::nullopt;
        const std::size_t length = std::min(kRowBytes, bytes.size() - offset);
        appendRow(text, bytes.subspan(offset, length), static_cast<std::uint32_t>(start + offset));
    }
    return text;
}

bool writeDumpFile(const std::string& directory, const char* name, std::span<const std::uint8_t> content,
                   std::string& path)
{
    path = (std::filesystem::path(directory) / name).string();
    return writeFileReplacing(path, std::vector<std::uint8_t>(content.begin(), content.end()));
}

} // namespace pw
