#include "image/ImageLoad.h"

#include "image/FirmwareImage.h"
#include "image/HexToBin.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pw {
namespace {

std::size_t fileNameStart(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

// Position of the extension's '.', or npos for a name without one.
std::size_t extensionDot(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < fileNameStart(path) ? std::string::npos : dot;
}

std::string lowerExtension(const std::string& path)
{
    const std::size_t dot = extensionDot(path);
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFFu);
    return text;
}

} // namespace

bool isImageFileName(const std::string& path)
{
    const std::string ext = lowerExtension(path);
    return ext == "hex" || ext == "bin";
}

std::string binaryPathFor(const std::string& hexPath)
{
    return hexPath.substr(0, extensionDot(hexPath)) + ".bin";
}

LoadedImage loadImageFile(const std::string& chosenPath, const std::string& currentImagePath, HexConverterState& state,
                          MessageBoxes& boxes)
{
    LoadedImage result;
    result.imagePath = currentImagePath;
    if (!isImageFileName(chosenPath)) {
        result.status = LoadStatus::NotImage;
        result.logLine = chosenPath;
        return result;
    }
    // From here a failure leaves no image at all: the previous one was not what the user
    // just chose, and a stale .bin beside a bad HEX file is not it either.
    result.imagePath.clear();
    const bool isHex = lowerExtension(chosenPath) == "hex";
    const std::string binPath = isHex ? binaryPathFor(chosenPath) : chosenPath;
    if (isHex) {
        state.sourceSize = 0;
        state.hexDataSum = 0;
        if (!ConvertHexToBin(chosenPath, binPath, state, boxes))
            return result;
    }
    const std::optional<FirmwareImage> image = readFirmwareImage(binPath, boxes);
    if (!image)
        return result;
    const std::string binSize = std::to_string(image->size());
    result.sizeText = isHex ? std::to_string(state.sourceSize) + "/" + binSize : binSize;
    result.checksumText = isHex ? hex4(state.hexDataSum) + "/" + hex4(image->checksum()) : hex4(image->checksum());
    result.status = LoadStatus::Loaded;
    result.imagePath = binPath;
    result.logLine = chosenPath;
    return result;
}

} // namespace pw
