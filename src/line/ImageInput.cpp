#include "line/ImageInput.h"

#include "image/ImageLoad.h"

#include <QCryptographicHash>

#include <fstream>
#include <iterator>

namespace pw {

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
    const LoadedImage loaded = loadImageFile(file, "", state, boxes);
    if (loaded.status == LoadStatus::NotImage) {
        problem = file + " is neither a .hex nor a .bin file";
        return false;
    }
    if (loaded.status != LoadStatus::Loaded) {
        problem = boxes.texts.empty() ? file + " could not be loaded" : boxes.texts;
        return false;
    }
    image.binaryPath = loaded.imagePath;
    image.sizeText = loaded.sizeText;
    image.checksumText = loaded.checksumText;
    std::ifstream binary(loaded.imagePath, std::ios::binary);
    image.content.assign(std::istreambuf_iterator<char>(binary), std::istreambuf_iterator<char>());
    if (!binary.good() && !binary.eof()) {
        problem = loaded.imagePath + " could not be read";
        return false;
    }
    image.bytes = image.content.size();
    image.sha256 = QCryptographicHash::hash(QByteArrayView(image.content.data(), static_cast<qsizetype>(image.bytes)),
                                            QCryptographicHash::Sha256)
                       .toHex()
                       .toStdString();
    return true;
}

} // namespace pw
