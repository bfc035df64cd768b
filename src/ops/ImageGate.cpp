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

std::optional<ImageRefusal> patchRefusal(const ImagePatch& patch, std::uint32_t start, std::uint32_t flashSize)
{
    if (patch.empty())
        return std::nullopt;
    if (patch.end() > flashSize)
        return ImageRefusal{Outcome::Refused, fieldOutsideFlashText(patch.address, patch.end(), flashSize)};
    if (patch.address < start)
        return ImageRefusal{Outcome::Refused, fieldBelowStartText(patch.address, start)};
    return std::nullopt;
}

std::optional<FlashImage> loadFlashImage(IspContext& ctx, const std::string& path, std::uint32_t start,
                                         const ImagePatch& patch, RunStatus& status)
{
    std::optional<FirmwareImage> image = readFirmwareImage(path, ctx.boxes);
    if (!image) {
        status.fail(Outcome::ImageError, {}); // the reader's box names the cause
        return std::nullopt;
    }
    for (const auto& refusal :
         {imageRefusal(path, image->size(), start, ctx.flashSize), patchRefusal(patch, start, ctx.flashSize)})
        if (refusal && !status.passes(ctx.boxes, refusal->text, refusal->outcome))
            return std::nullopt;
    FlashLayout layout = flashLayout(image->size(), start, patch);
    image->apply(patch);
    return FlashImage{std::move(*image), std::move(layout)};
}

} // namespace pw
