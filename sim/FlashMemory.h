#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace pw::sim {

inline constexpr std::size_t kFlashSize = 0x10000;
inline constexpr std::size_t kBlockSize = 0x800; // one bit of the keep and erase masks
inline constexpr std::size_t kPageSize = 0x200;
using FlashBytes = std::array<std::uint8_t, kFlashSize>;

// The chip's 64 KiB of flash. Programming can only clear bits; erasing sets them again.
class FlashMemory {
public:
    FlashMemory() { bytes_.fill(0xFF); }

    const FlashBytes& bytes() const { return bytes_; }
    void assign(const FlashBytes& bytes) { bytes_ = bytes; }

    // new = old AND data; the address wraps at the end of flash as the 16-bit counter does.
    void program(std::uint16_t address, std::span<const std::uint8_t, 8> data);
    // Every 2 KiB block whose keep bit is clear and whose erase bit is set. Blocks erased.
    int eraseChip(std::uint32_t keepMask, std::uint32_t eraseMask);
    // The 512-byte page, when its block passes the same mask rule. True when erased.
    bool erasePage(std::uint32_t page, std::uint32_t keepMask, std::uint32_t eraseMask);

private:
    FlashBytes bytes_;
};

// A missing file gives erased flash; a shorter one is padded with 0xFF; a longer one is refused.
bool loadFlashFile(const std::string& path, FlashBytes& bytes, std::string& error);
// Written to a temporary file beside it and renamed over it, so a crash never leaves half.
bool saveFlashFile(const std::string& path, const FlashBytes& bytes);

} // namespace pw::sim
