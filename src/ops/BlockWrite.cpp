#include "ops/BlockWalk.h"

#include "ops/OperationTexts.h"

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

} // namespace

bool writeBlocks(IspContext& ctx, OperationView& view, const FirmwareImage& image, BlockSpan span,
                 AddressWalk& walk, const ProgressPlan& progress, TailSelect tail, RunStatus& status)
{
    std::uint32_t address = span.start;
    for (std::uint64_t i = 0; i < span.fullBlocks(); ++i) {
        if (ctx.cancelEvent.isSet()) {
            status.fail(Outcome::Cancelled, kCancelledText);
            return false;
        }
        const bool first = i == 0;
        // Only the first write is checked against the exact echo; later replies are any frame.
        if (!status.proceed(walk.select(ctx, address, first ? std::optional(ResponseKind::AnyFrame) : std::nullopt)))
            return false;
        if (!status.proceed(writeOne(ctx, image, address, first ? std::optional(ResponseKind::WriteAck) : std::nullopt)))
            return false;
        if (first)
            ctx.replyEvent.reset();
        address += 8;
        status.addBytes(8);
        progress.afterBlock(view, i);
        ctx.expectedReply = ResponseKind::AnyFrameNoClear;
    }
    if (span.tailBytes() == 0)
        return true;
    const auto tailKind = tail == TailSelect::AnyFrame ? std::optional(ResponseKind::AnyFrame) : std::nullopt;
    if (!status.proceed(walk.select(ctx, address, tailKind)) || !status.proceed(writeOne(ctx, image, address, std::nullopt)))
        return false;
    status.addBytes(span.tailBytes());
    return true;
}

} // namespace pw
