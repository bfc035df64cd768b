#include "ops/BlockWalk.h"
#include "ops/EraseSteps.h"
#include "ops/ImageGate.h"
#include "ops/OperationTexts.h"
#include "ops/PhaseClock.h"

namespace pw {

namespace {

// Erases from the start address to the end of flash: the whole chip from 0, else page by page.
bool erasePhase(IspContext& ctx, OperationView& view, std::uint32_t start, AddressWalk& walk, RunStatus& status)
{
    const PageRange pages = pagesFromStart(start, ctx.flashSize);
    if (start != 0) {
        view.setProgressRange(0, static_cast<int>(pages.count & 0xFFFF));
        view.setProgressPosition(0);
    }
    const PhaseClock clock(view, Phase::Erase, start == 0 ? kBeginChipErase : kBeginAutoPageErase);
    const bool erased = start == 0 ? eraseChipSteps(ctx, autoChipEraseTiming(ctx), status)
                                   : erasePages(ctx, view, pages.first, pages.count, walk, status);
    if (!erased)
        return false;
    clock.logElapsed(kEraseElapsedFormat);
    return true;
}

bool programPhase(IspContext& ctx, OperationView& view, const FlashImage& flash, AddressWalk& walk, RunStatus& status)
{
    const ProgressPlan progress(flash.layout.length());
    progress.apply(view);
    const PhaseClock clock(view, Phase::Program, kBeginProgramming);
    if (!writeBlocks(ctx, view, flash.image, flash.layout, walk, progress, TailSelect::AnyFrame, status))
        return false;
    clock.logElapsed(kProgramElapsedFormat);
    return true;
}

bool verifyPhase(IspContext& ctx, OperationView& view, const FlashImage& flash, AddressWalk& walk, RunStatus& status)
{
    const PhaseClock clock(view, Phase::Verify, kBeginVerifying);
    view.setProgressPosition(0);
    if (!verifyBlocks(ctx, view, flash.image, flash.layout, walk, ProgressPlan(flash.layout.length()), status))
        return false;
    leaveAfterLastPhase(ctx, status, clock, kVerifyElapsedFormat);
    return true;
}

void runAuto(IspContext& ctx, OperationView& view, const std::string& imagePath, const ImagePatch& patch,
             RunStatus& status)
{
    const std::uint32_t start = ctx.ispStartAddr;
    const std::optional<FlashImage> flash = loadFlashImage(ctx, imagePath, start, patch, status);
    if (!flash)
        return;
    const AttachedReadBuffer readBuffer(ctx);
    ProgressPlan(flash->layout.length()).apply(view);
    const BlockMasks masks = masksForStartAddress(start);
    AddressWalk walk;
    if (!status.proceed(openConnection(ctx, LinkUse::Auto)) ||
        !status.proceed(MaskSetup(ctx, masks, MaskKinds::AllMaskAck)) || !erasePhase(ctx, view, start, walk, status))
        return;
    if (programPhase(ctx, view, *flash, walk, status))
        verifyPhase(ctx, view, *flash, walk, status);
}

} // namespace

OperationResult AutoThread(IspContext& ctx, OperationView& view, const std::string& imagePath, const ImagePatch& patch)
{
    return runLinkOperation(ctx, view, [&](RunStatus& status) { runAuto(ctx, view, imagePath, patch, status); });
}

} // namespace pw
