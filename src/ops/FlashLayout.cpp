#include "ops/FlashLayout.h"

namespace pw {

namespace {

std::uint64_t blocksUp(std::uint64_t bytes)
{
    return (bytes + 7) / 8 * 8;
}

} // namespace

std::uint64_t FlashLayout::length() const
{
    std::uint64_t total = 0;
    for (const BlockSpan& span : spans)
        total += span.length;
    return total;
}

std::uint32_t FlashLayout::tailAddress() const
{
    const BlockSpan& last = spans.back();
    return static_cast<std::uint32_t>(last.start + 8 * last.fullBlocks());
}

FlashLayout flashLayout(std::uint64_t imageSize, std::uint32_t start, const ImagePatch& patch)
{
    const BlockSpan image{start, imageSize - start};
    if (patch.empty())
        return {{image}};
    FlashLayout layout{{image}, std::uint64_t{patch.address} / 8 * 8, blocksUp(patch.end())};
    if (patch.end() <= imageSize)
        return layout;
    if (layout.pinnedFrom <= start + blocksUp(image.length)) { // touching the image's blocks: one span
        layout.spans.front().length = patch.end() - start;
        return layout;
    }
    // The image's part block is sent whole (its bytes past the end are 0xFF, as a tail's are).
    layout.spans.front().length = blocksUp(image.length);
    layout.spans.push_back({static_cast<std::uint32_t>(layout.pinnedFrom), layout.pinnedTo - layout.pinnedFrom});
    return layout;
}

} // namespace pw
