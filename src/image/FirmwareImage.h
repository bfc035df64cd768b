#pragma once
#include "base/MessageBoxes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// Bytes placed over an image in memory before it is programmed (a board's serial number):
// the file stays as it is. Empty bytes: no patch.
struct ImagePatch {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
    bool empty() const { return bytes.empty(); }
    std::uint64_t end() const { return address + static_cast<std::uint64_t>(bytes.size()); }
};

// The image one operation works on: byte k is the content of flash address k.
class FirmwareImage {
public:
    explicit FirmwareImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t size() const { return bytes_.size(); }
    const std::uint8_t* data() const { return bytes_.data(); }
    // Past the end of the file the flash is taken as erased.
    std::uint8_t byteAt(std::size_t k) const { return k < bytes_.size() ? bytes_[k] : 0xFF; }
    // Sum of all bytes, wrapping in 16 bits.
    std::uint16_t checksum() const;
    // Writes the patch's bytes over the image, growing it with erased bytes (0xFF) up to a
    // patch that lies past its end.
    void apply(const ImagePatch& patch);

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads the whole binary file. Shows a box and gives nothing when the file cannot be opened
// or read, is longer than an image can hold, or no memory can be had for it.
std::optional<FirmwareImage> readFirmwareImage(const std::string& path, MessageBoxes& boxes);

} // namespace pw
