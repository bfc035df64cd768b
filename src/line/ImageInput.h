#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pw {

struct PreparedImage {
    std::string binaryPath; // the .bin the operation reads (written beside a .hex)
    std::string sizeText;
    std::string checksumText;
    std::uint64_t bytes = 0;
    std::string sha256;                // of the binary's bytes, lower-case hex
    std::vector<std::uint8_t> content; // the binary's bytes, as read for the checks before a run
};

// Loads FILE the way the panel's Load button does (a .hex is converted into the .bin beside
// it), before any port is touched. False with the reason when the file cannot be used.
bool prepareImage(const std::string& file, PreparedImage& image, std::string& problem);

} // namespace pw
