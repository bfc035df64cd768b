#pragma once
#include <array>
#include <cstdint>

namespace pw {

// Chip names (up to 20 entries) and their flash sizes, indexed by chipType. Only 0 is used.
inline constexpr std::array<const char*, 20> kChipNames{"HZ41C120", "HZ41C110"};
inline constexpr std::array<std::uint32_t, 3> kChipFlashSizes{0x10000, 0xC168, 0xC168};

// The flash as the boot loader addresses it.
inline constexpr std::uint32_t kPageShift = 9; // page erase works on 512-byte pages
inline constexpr std::uint32_t kPageSize = 1u << kPageShift;
inline constexpr std::uint32_t kBlockShift = 11; // one keep/erase mask bit per 2 KiB block
inline constexpr std::uint32_t kBlockSize = 1u << kBlockShift;
inline constexpr std::uint32_t kWireAddressSpan = 0x10000; // 16 address bits reach the target

} // namespace pw
