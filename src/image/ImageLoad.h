#pragma once
#include "base/MessageBoxes.h"
#include "image/HexRecord.h"

#include <string>

namespace pw {

enum class LoadStatus {
    Loaded,   // imagePath names the new image; the texts are filled
    NotImage, // neither HEX nor binary: only logged, the previous image stays in force
    Failed,   // a box has been shown; there is no image any more
};

struct LoadedImage {
    LoadStatus status = LoadStatus::Failed;
    std::string imagePath;    // the image to use from now on: the new one, the previous one (NotImage), or none
    std::string sizeText;     // empty unless Loaded
    std::string checksumText; // empty unless Loaded
    std::string logLine;      // the chosen path, or empty when nothing is to be logged
};

// What the panel does with a file chosen in the open dialog: a HEX file is converted into
// the .bin beside it, a .bin file is used directly, anything else is only logged.
LoadedImage loadImageFile(const std::string& chosenPath, const std::string& currentImagePath, HexConverterState& state,
                          MessageBoxes& boxes);

// Whether Load takes the file as an image: its extension is hex or bin, in any case.
bool isImageFileName(const std::string& path);

// The binary file a HEX file converts into: same folder, same name, extension "bin".
std::string binaryPathFor(const std::string& hexPath);

} // namespace pw
