#include "ops/BlockWalk.h"

#include <algorithm>

namespace pw {

std::array<std::uint8_t, 8> imageBlock(const FirmwareImage& image, std::uint32_t address)
{
    std::array<std::uint8_t, 8> block{};
    for (std::uint32_t k = 0; k < 8; ++k)
        block[k] = image.byteAt(address + k);
    return block;
}

namespace {

WaitResult writeOne(IspContext& ctx, const FirmwareImage& image, std::uint32_t address,
                    std::optional<ResponseKind> kind)
{
    const std::array<std::uint8_t, 8> block = imageBlock(image, address);
    return SendAndWait(ctx, kind, CmdWrite8(static_cast<std::uint8_t>(address), block), ReplyWait::Unbounded);
}

bool isBlank(const std::array<std::uint8_t, 8>& block)
{
    return std::all_of(block.begin(), block.end(), [](std::uint8_t byte) { return byte == 0xFF; });
}

} // namespace

bool writeBlocks(IspContext& ctx, OperationView& view, const FirmwareImage& image, const FlashLayout& layout,
                 AddressWalk& walk, const ProgressPlan& progress, TailSelect tail, RunStatus& status)
{
    bool sentAny = false;
    const auto skipped = [&](std::uint32_t at) {
        return ctx.skipBlankBlocks && !layout.pinned(at) && isBlank(imageBlock(image, at));
    };
    const auto writeBlock = [&](std::uint32_t address) {
        if (skipped(address))
            return true;
        // Only the first write is checked against the exact echo; later replies are any frame.
        const bool first = !sentAny;
        if (!status.proceed(walk.select(ctx, address, first ? std::optional(ResponseKind::AnyFrame) : std::nullopt)) ||
            !status.proceed(
                writeOne(ctx, image, address, first ? std::optional(ResponseKind::WriteAck) : std::nullopt)))
            return false;
        if (first)
            ctx.replyEvent.reset();
        sentAny = true;
        ctx.expectedReply = ResponseKind::AnyFrameNoClear;
        return true;
    };
    if (!walkLayoutBlocks(ctx, status, layout, writeBlock, [&](std::uint64_t i) { progress.afterBlock(view, i); }))
        return false;
    const std::uint32_t address = layout.tailAddress();
    if (layout.tailBytes() == 0 || skipped(address))
        return true;
    // When skipping left the tail as the only write, it is checked like a first block.
    const bool tailFirst = ctx.skipBlankBlocks && !sentAny;
    const auto tailKind =
        tailFirst || tail == TailSelect::AnyFrame ? std::optional(ResponseKind::AnyFrame) : std::nullopt;
    const auto writeKind = tailFirst ? std::optional(ResponseKind::WriteAck) : std::nullopt;
    if (!status.proceed(walk.select(ctx, address, tailKind)) ||
        !status.proceed(writeOne(ctx, image, address, writeKind)))
        return false;
    status.addBytes(layout.tailBytes());
    return true;
}

} // namespace pw
