#include "sim/FlashMemory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace pw::sim {

namespace {

bool blockErasable(std::uint32_t block, std::uint32_t keepMask, std::uint32_t eraseMask)
{
    const std::uint32_t bit = 1u << (block % 32);
    return (keepMask & bit) == 0 && (eraseMask & bit) != 0;
}

} // namespace

void FlashMemory::program(std::uint16_t address, std::span<const std::uint8_t, 8> data)
{
    for (std::size_t i = 0; i < data.size(); ++i)
        bytes_[(address + i) % kFlashSize] &= data[i];
}

int FlashMemory::eraseChip(std::uint32_t keepMask, std::uint32_t eraseMask)
{
    int erased = 0;
    for (std::uint32_t block = 0; block < kFlashSize / kBlockSize; ++block) {
        if (!blockErasable(block, keepMask, eraseMask))
            continue;
        std::fill_n(bytes_.begin() + block * kBlockSize, kBlockSize, 0xFF);
        ++erased;
    }
    return erased;
}

bool FlashMemory::erasePage(std::uint32_t page, std::uint32_t keepMask, std::uint32_t eraseMask)
{
    const std::size_t start = (page * kPageSize) % kFlashSize;
    if (!blockErasable(static_cast<std::uint32_t>(start / kBlockSize), keepMask, eraseMask))
        return false;
    std::fill_n(bytes_.begin() + start, kPageSize, 0xFF);
    return true;
}

bool loadFlashFile(const std::string& path, FlashBytes& bytes, std::string& error)
{
    bytes.fill(0xFF);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return true; // a new flash file: created by the first save
    std::vector<char> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() > kFlashSize) {
        error = "flash file " + path + " is larger than 65536 bytes";
        return false;
    }
    std::copy(content.begin(), content.end(), bytes.begin());
    return true;
}

bool saveFlashFile(const std::string& path, const FlashBytes& bytes)
{
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace pw::sim
