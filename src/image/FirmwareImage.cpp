#include "image/FirmwareImage.h"

#include "image/ImageMessages.h"

#include <algorithm>
#include <fstream>
#include <new>

namespace pw {

std::uint16_t FirmwareImage::checksum() const
{
    std::uint16_t sum = 0;
    for (std::uint8_t b : bytes_)
        sum = static_cast<std::uint16_t>(sum + b);
    return sum;
}

void FirmwareImage::apply(const ImagePatch& patch)
{
    if (patch.end() > bytes_.size())
        bytes_.resize(patch.end(), 0xFF);
    std::copy(patch.bytes.begin(), patch.bytes.end(), bytes_.begin() + patch.address);
}

std::optional<FirmwareImage> readFirmwareImage(const std::string& path, MessageBoxes& boxes)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff length = in ? static_cast<std::streamoff>(in.tellg()) : -1;
    if (length < 0) {
        showErrorBox(boxes, openFailedText(path));
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(length) > kImageCapacity) {
        showErrorBox(boxes, tooLargeText(path, static_cast<std::uintmax_t>(length)));
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        showErrorBox(boxes, allocationFailedText());
        return std::nullopt;
    }
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
    if (in.gcount() != static_cast<std::streamsize>(length)) {
        showErrorBox(boxes, openFailedText(path));
        return std::nullopt;
    }
    return FirmwareImage(std::move(bytes));
}

} // namespace pw
