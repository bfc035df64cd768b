#include "ops/OperationRunner.h"

namespace pw {

OperationRunner::OperationRunner(IspContext& ctx) : ctx_(ctx) {}

OperationRunner::~OperationRunner()
{
    cancel();
    join();
}

bool OperationRunner::canStart(bool needsOpenPort) const
{
    return ctx_.busy == 0 && (!needsOpenPort || ctx_.portOpen != 0);
}

bool OperationRunner::start(std::function<void()> work, bool needsOpenPort)
{
    if (needsOpenPort && ctx_.portOpen == 0)
        return false;
    int idle = 0;
    // Claimed before the thread exists, so a second click finds it taken.
    if (!ctx_.busy.compare_exchange_strong(idle, 1))
        return false;
    join(); // the previous worker has lowered busy as its last action and is about to end
    ctx_.cancelEvent.reset();
    worker_ = std::thread(std::move(work));
    return true;
}

void OperationRunner::cancel()
{
    if (ctx_.busy != 0)
        ctx_.cancelEvent.set();
}

void OperationRunner::join()
{
    if (worker_.joinable())
        worker_.join();
}

bool OperationRunner::running() const
{
    return ctx_.busy != 0;
}

} // namespace pw
