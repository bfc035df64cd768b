#pragma once
#include <algorithm>
#include <array>
#include <cstdint>

namespace pw {

// The rates an operation may switch the line to; every connection starts at the first.
inline constexpr std::array<std::uint32_t, 3> kOperatingRates{9600, 57600, 115200};

inline constexpr bool isOperatingRate(std::uint32_t rate)
{
    return std::find(kOperatingRates.begin(), kOperatingRates.end(), rate) != kOperatingRates.end();
}

} // namespace pw
