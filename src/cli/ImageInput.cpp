#include "cli/ImageInput.h"

#include "cli/JsonText.h"
#include "image/ImageLoad.h"

#include <cstdio>
#include <filesystem>

namespace pw::cli {

namespace {

// Keeps the texts of the boxes a load shows, to print them as the reason.
class CollectedBoxes : public MessageBoxes {
public:
    void show(const std::string&, const std::string& text, BoxIcon) override
    {
        if (!texts.empty())
            texts += '\n';
        texts += text;
    }
    std::string texts;
};

} // namespace

bool prepareImage(const std::string& file, PreparedImage& image, std::string& problem)
{
    CollectedBoxes boxes;
    HexConverterState state;
    const LoadedImage loaded = LoadImageFile(file, "", state, boxes);
    if (loaded.status == LoadStatus::NotImage) {
        problem = file + " is neither a .hex nor a .bin file";
        return false;
    }
    if (loaded.status != LoadStatus::Loaded) {
        problem = boxes.texts.empty() ? file + " could not be loaded" : boxes.texts;
        return false;
    }
    std::error_code error;
    image.binaryPath = loaded.imagePath;
    image.sizeText = loaded.sizeText;
    image.checksumText = loaded.checksumText;
    image.bytes = std::filesystem::file_size(loaded.imagePath, error);
    return true;
}

void printImageInfo(const PreparedImage& image, bool json)
{
    if (json) {
        std::printf("{\"image\":%s,\"size\":%s,\"checksum\":%s}\n", jsonString(image.binaryPath).c_str(),
                    jsonString(image.sizeText).c_str(), jsonString(image.checksumText).c_str());
        return;
    }
    std::printf("Size: %s\nCheck Sum: %s\n", image.sizeText.c_str(), image.checksumText.c_str());
}

} // namespace pw::cli
