#include "ops/ImageGate.h"

#include "ops/OperationTexts.h"

namespace pw {

std::optional<FirmwareImage> loadFlashImage(IspContext& ctx, const std::string& path, RunStatus& status)
{
    std::optional<FirmwareImage> image = readFirmwareImage(path, ctx.boxes);
    if (!image) {
        status.fail(Outcome::ImageError, {}); // the reader's box names the cause
        return std::nullopt;
    }
    if (image->size() > ctx.flashSize) {
        const std::string text = imageTooLongText(path, image->size(), ctx.flashSize);
        showErrorBox(ctx.boxes, text);
        status.fail(Outcome::ImageError, text);
        return std::nullopt;
    }
    return image;
}

} // namespace pw
