#include "ops/BlockWalk.h"

namespace pw {

WaitResult readBlock(IspContext& ctx, AddressWalk& walk, std::uint32_t address, std::array<std::uint8_t, 8>& out)
{
    const WaitResult selected = walk.select(ctx, address, ResponseKind::AnyFrame);
    if (selected != WaitResult::Answered)
        return selected;
    const WaitResult read =
        SendAndWait(ctx, ResponseKind::ReadData, CmdRead8(static_cast<std::uint8_t>(address)), ReplyWait::Unbounded);
    if (read != WaitResult::Answered)
        return read;
    ctx.replyEvent.reset();
    ctx.readDest.copyTo(out);
    return WaitResult::Answered;
}

namespace {

// False (after the box) when the flash differs from what Program would have left there.
bool blockMatches(IspContext& ctx, const FirmwareImage& image, std::uint32_t address,
                  const std::array<std::uint8_t, 8>& read, RunStatus& status)
{
    if (read == imageBlock(image, address))
        return true;
    const std::string text = verifyFailureText(address);
    showErrorBox(ctx.boxes, text);
    status.fail(Outcome::Mismatch, text);
    return false;
}

bool verifyOne(IspContext& ctx, const FirmwareImage& image, std::uint32_t address, AddressWalk& walk, RunStatus& status)
{
    std::array<std::uint8_t, 8> read{};
    return status.proceed(readBlock(ctx, walk, address, read)) && blockMatches(ctx, image, address, read, status);
}

} // namespace

bool verifyBlocks(IspContext& ctx, OperationView& view, const FirmwareImage& image, const FlashLayout& layout,
                  AddressWalk& walk, const ProgressPlan& progress, RunStatus& status)
{
    if (!walkLayoutBlocks(
            ctx, status, layout, [&](std::uint32_t address) { return verifyOne(ctx, image, address, walk, status); },
            [&](std::uint64_t i) { progress.afterBlock(view, i); }))
        return false;
    if (layout.tailBytes() == 0)
        return true;
    if (!verifyOne(ctx, image, layout.tailAddress(), walk, status))
        return false;
    status.addBytes(layout.tailBytes());
    return true;
}

} // namespace pw
