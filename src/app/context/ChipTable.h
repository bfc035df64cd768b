#pragma once
#include <array>
#include <cstdint>

namespace pw {

// Chip names (up to 20 entries) and their flash sizes, indexed by chipType. Only 0 is used.
inline constexpr std::array<const char*, 20> kChipNames{"HZ41C120", "HZ41C110"};
inline constexpr std::array<std::uint32_t, 3> kChipFlashSizes{0x10000, 0xC168, 0xC168};

} // namespace pw
