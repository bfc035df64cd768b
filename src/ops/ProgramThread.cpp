#include "ops/BlockWalk.h"
#include "ops/ImageGate.h"
#include "ops/OperationTexts.h"
#include "ops/PhaseClock.h"

namespace pw {

namespace {

void program(IspContext& ctx, OperationView& view, const std::string& imagePath, RunStatus& status)
{
    const std::optional<FirmwareImage> image = loadFlashImage(ctx, imagePath, 0, status);
    if (!image)
        return;
    const BlockSpan span{0, image->size()};
    const ProgressPlan progress(span.length);
    progress.apply(view);
    const BlockMasks masks = masksForStartAddress(ctx.ispStartAddr);
    const PhaseClock clock(view, Phase::Program, kBeginProgramming);
    if (!status.proceed(openConnection(ctx, LinkUse::Program)) ||
        !status.proceed(MaskSetup(ctx, masks, MaskKinds::KeepLane2AnyByte)))
        return;
    AddressWalk walk;
    if (!writeBlocks(ctx, view, *image, span, walk, progress, TailSelect::KeepKind, status))
        return;
    leaveAfterLastPhase(ctx, status, clock, kProgramElapsedFormat);
}

} // namespace

OperationResult ProgramThread(IspContext& ctx, OperationView& view, const std::string& imagePath)
{
    return runLinkOperation(ctx, view, [&](RunStatus& status) { program(ctx, view, imagePath, status); });
}

} // namespace pw
