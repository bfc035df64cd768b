#include "ops/BlockWalk.h"
#include "ops/ImageGate.h"
#include "ops/OperationTexts.h"
#include "ops/PhaseClock.h"

namespace pw {

namespace {

void verify(IspContext& ctx, OperationView& view, const std::string& imagePath, RunStatus& status)
{
    const std::optional<FlashImage> flash = loadFlashImage(ctx, imagePath, 0, {}, status);
    if (!flash)
        return;
    const AttachedReadBuffer readBuffer(ctx);
    const ProgressPlan progress(flash->layout.length());
    progress.apply(view);
    const PhaseClock clock(view, Phase::Verify, kBeginVerifying);
    if (!status.proceed(openConnection(ctx, LinkUse::Verify)))
        return;
    AddressWalk walk;
    if (!verifyBlocks(ctx, view, flash->image, flash->layout, walk, progress, status))
        return;
    leaveAfterLastPhase(ctx, status, clock, kVerifyElapsedFormat);
}

} // namespace

OperationResult VerifyThread(IspContext& ctx, OperationView& view, const std::string& imagePath)
{
    return runLinkOperation(ctx, view, [&](RunStatus& status) { verify(ctx, view, imagePath, status); });
}

} // namespace pw
