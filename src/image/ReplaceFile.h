#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pw {

// Writes `bytes` to a temporary file beside `path` and renames it over `path`, so a failed
// write never leaves a truncated file under the final name. False when nothing was replaced.
bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace pw
