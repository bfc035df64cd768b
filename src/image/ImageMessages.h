#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pw {

// The most an image can hold: byte k is flash address k, for k below this.
inline constexpr std::size_t kImageCapacity = 0x1000000;

// "File : <path> could not be opened!!!"
std::string openFailedText(const std::string& path);
// The allocation failure box, quoting the full image capacity.
std::string allocationFailedText();
// A file that is longer than an image can hold.
std::string tooLargeText(const std::string& path, std::uintmax_t length);

} // namespace pw
