#include "ops/Progress.h"

namespace pw {

ProgressPlan::ProgressPlan(std::uint64_t bytes)
{
    const std::uint64_t blocks = bytes / 8;
    divisor = static_cast<std::uint32_t>(blocks / 255 + 1);
    high = static_cast<int>(blocks / divisor);
}

void ProgressPlan::apply(OperationView& view) const
{
    view.setProgressRange(0, high);
    view.setProgressPosition(0);
}

// Said only when the position moves: a window shows each report as an event on its thread,
// and one for each of 8192 blocks would compete with the replies for it.
void ProgressPlan::afterBlock(OperationView& view, std::uint64_t block) const
{
    if (block % divisor == 0)
        view.setProgressPosition(static_cast<int>(block / divisor));
}

} // namespace pw
