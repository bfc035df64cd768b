#include "ops/BlockWalk.h"
#include "ops/ImageGate.h"
#include "ops/OperationTexts.h"
#include "ops/PhaseClock.h"

namespace pw {

namespace {

void program(IspContext& ctx, OperationView& view, const std::string& imagePath, const ImagePatch& patch,
             RunStatus& status)
{
    const std::optional<FlashImage> flash = loadFlashImage(ctx, imagePath, 0, patch, status);
    if (!flash)
        return;
    const ProgressPlan progress(flash->layout.length());
    progress.apply(view);
    const BlockMasks masks = masksForStartAddress(ctx.ispStartAddr);
    const PhaseClock clock(view, Phase::Program, kBeginProgramming);
    if (!status.proceed(openConnection(ctx, LinkUse::Program)) ||
        !status.proceed(MaskSetup(ctx, masks, MaskKinds::KeepLane2AnyByte)))
        return;
    AddressWalk walk;
    if (!writeBlocks(ctx, view, flash->image, flash->layout, walk, progress, TailSelect::KeepKind, status))
        return;
    leaveAfterLastPhase(ctx, status, clock, kProgramElapsedFormat);
}

} // namespace

OperationResult ProgramThread(IspContext& ctx, OperationView& view, const std::string& imagePath,
                              const ImagePatch& patch)
{
    return runLinkOperation(ctx, view, [&](RunStatus& status) { program(ctx, view, imagePath, patch, status); });
}

} // namespace pw
