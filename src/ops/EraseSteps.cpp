#include "ops/EraseSteps.h"

#include "ops/OperationTexts.h"

namespace pw {

ChipEraseTiming singleChipEraseTiming(const IspContext& ctx)
{
    return {ReplyWait::Long, ReplyWait::Long, ctx.timings.chipErasePause, ReplyWait::Long};
}

ChipEraseTiming autoChipEraseTiming(const IspContext& ctx)
{
    return {ReplyWait::Unbounded, ReplyWait::Unbounded, ctx.timings.autoChipErasePause, ReplyWait::Short};
}

namespace {

// An erase, once asked for, runs to its status reply: Cancel is looked at again only after it,
// so CmdLeaveIsp never reaches a chip that is still erasing.
WaitResult eraseStep(IspContext& ctx, ResponseKind kind, const CommandPacket& command, ReplyWait wait)
{
    return SendAndWait(ctx, kind, command, wait, false);
}

bool eraseOnePage(IspContext& ctx, std::uint32_t page, AddressWalk& walk, RunStatus& status)
{
    const auto high = static_cast<std::uint8_t>(page * 2);
    walk.noteSent(high);
    if (!status.proceed(eraseStep(ctx, ResponseKind::AnyFrame, CmdSetAddrHigh(high), ReplyWait::Unbounded)) ||
        !status.proceed(eraseStep(ctx, ResponseKind::PageEraseModeAck, CmdPageEraseMode(), ReplyWait::Short)) ||
        !status.proceed(eraseStep(ctx, ResponseKind::EraseStartAck, CmdEraseStart(), ReplyWait::Short)))
        return false;
    ctx.pause(ctx.timings.pageErasePause);
    return status.proceed(eraseStep(ctx, ResponseKind::EraseDoneAck, CmdEraseStatus(), ReplyWait::Short));
}

} // namespace

bool eraseChipSteps(IspContext& ctx, const ChipEraseTiming& timing, RunStatus& status)
{
    if (!status.proceed(eraseStep(ctx, ResponseKind::ChipEraseModeAck, CmdChipEraseMode(), timing.mode)) ||
        !status.proceed(eraseStep(ctx, ResponseKind::EraseStartAck, CmdEraseStart(), timing.start)))
        return false;
    ctx.pause(timing.pause);
    if (!status.proceed(eraseStep(ctx, ResponseKind::EraseDoneAck, CmdEraseStatus(), timing.status)))
        return false;
    status.addBytes(ctx.flashSize);
    return true;
}

bool erasePages(IspContext& ctx, OperationView& view, std::uint32_t fromPage, std::uint32_t pageCount,
                AddressWalk& walk, RunStatus& status)
{
    for (std::uint32_t n = 0; n < pageCount; ++n) {
        if (!eraseOnePage(ctx, fromPage + n, walk, status))
            return false;
        status.addBytes(std::uint64_t{1} << kPageShift);
        view.setProgressPosition(static_cast<int>(n));
    }
    return true;
}

PageRange pagesFromStart(std::uint32_t startAddr, std::uint32_t flashSize)
{
    const std::uint32_t first = startAddr >> kPageShift;
    const std::uint32_t bound = flashSize >> kPageShift;
    return {first, first < bound ? bound - first : 0};
}

std::optional<std::string> pageRangeRefusal(std::uint32_t fromPage, std::uint32_t pageCount, std::uint32_t flashSize)
{
    const std::uint32_t pageBound = flashSize >> kPageShift;
    if (std::uint64_t{fromPage} + pageCount <= pageBound)
        return std::nullopt;
    return pagesPastEndText(fromPage, pageCount, pageBound);
}

bool pageRangeFits(IspContext& ctx, std::uint32_t fromPage, std::uint32_t pageCount, RunStatus& status)
{
    return status.passes(ctx.boxes, pageRangeRefusal(fromPage, pageCount, ctx.flashSize), Outcome::Refused);
}

} // namespace pw
