#include "ops/EraseSteps.h"
#include "ops/OperationTexts.h"
#include "ops/PhaseClock.h"

namespace pw {

namespace {

// Whatever the start address, the whole-chip erase keeps nothing and erases every block.
constexpr BlockMasks kWholeChipMasks{0x00000000, 0xFFFFFFFF};

void eraseAll(IspContext& ctx, OperationView& view, RunStatus& status)
{
    const PhaseClock clock(view, Phase::Erase, kBeginChipErase);
    if (!status.proceed(openConnection(ctx, LinkUse::Erase)) ||
        !status.proceed(MaskSetup(ctx, kWholeChipMasks, MaskKinds::KeepLane2AnyByte)) ||
        !eraseChipSteps(ctx, singleChipEraseTiming(ctx), status))
        return;
    leaveAfterLastPhase(ctx, status, clock, kEraseElapsedFormat);
}

void erasePageRange(IspContext& ctx, OperationView& view, std::uint32_t fromPage, std::uint32_t pageCount,
                    RunStatus& status)
{
    if (!pageRangeFits(ctx, fromPage, pageCount, status))
        return;
    view.setProgressRange(0, static_cast<int>(pageCount & 0xFFFF));
    view.setProgressPosition(0);
    const BlockMasks masks = masksForStartAddress(ctx.ispStartAddr);
    const PhaseClock clock(view, Phase::Erase, kBeginPageErase);
    AddressWalk walk;
    if (!status.proceed(openConnection(ctx, LinkUse::Erase)) ||
        !status.proceed(MaskSetup(ctx, masks, MaskKinds::KeepLane2AnyByte)) ||
        !erasePages(ctx, view, fromPage, pageCount, walk, status))
        return;
    leaveAfterLastPhase(ctx, status, clock, kEraseElapsedFormat);
}

} // namespace

OperationResult EraseAllThread(IspContext& ctx, OperationView& view)
{
    RunStatus status;
    eraseAll(ctx, view, status);
    return finishEraseRun(ctx, view, status);
}

OperationResult PageEraseThread(IspContext& ctx, OperationView& view, std::uint32_t fromPage, std::uint32_t pageCount)
{
    RunStatus status;
    erasePageRange(ctx, view, fromPage, pageCount, status);
    return finishEraseRun(ctx, view, status);
}

} // namespace pw
