#include "ops/ImageGate.h"

#include "ops/OperationTexts.h"

namespace pw {

std::optional<ImageRefusal> imageRefusal(const std::string& path, std::uint64_t length, std::uint32_t start,
                                         std::uint32_t flashSize)
{
    if (length > flashSize)
        return ImageRefusal{Outcome::ImageError, imageTooLongText(path, length, flashSize)};
    if (start != 0 && start >= flashSize)
        return ImageRefusal{Outcome::Refused, startPastFlashText(start, flashSize)};
    if (length < start)
        return ImageRefusal{Outcome::Refused, imageBelowStartText(length, start)};
    return std::nullopt;
}

std::optional<FirmwareImage> loadFlashImage(IspContext& ctx, const std::string& path, std::uint32_t start,
                                            RunStatus& status)
{
    std::optional<FirmwareImage> image = readFirmwareImage(path, ctx.boxes);
    if (!image) {
        status.fail(Outcome::ImageError, {}); // the reader's box names the cause
        return std::nullopt;
    }
    const auto refusal = imageRefusal(path, image->size(), start, ctx.flashSize);
    if (refusal && !status.passes(ctx.boxes, refusal->text, refusal->outcome))
        return std::nullopt;
    return image;
}

} // namespace pw
