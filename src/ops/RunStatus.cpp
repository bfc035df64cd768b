#include "ops/RunStatus.h"

#include "ops/OperationTexts.h"

namespace pw {

bool RunStatus::proceed(WaitResult result)
{
    switch (result) {
    case WaitResult::Answered: return true;
    case WaitResult::TimedOut:
    case WaitResult::WrongReply: // the box has said it; the run ends as after a time-out
        timedOut_ = true;
        outcome_ = Outcome::TimedOut;
        message_ = kTimeoutText;
        return false;
    case WaitResult::Cancelled: fail(Outcome::Cancelled, kCancelledText); return false;
    case WaitResult::LineLost: fail(Outcome::LineLost, {}); return false; // the port's box says why
    }
    return false;
}

void RunStatus::fail(Outcome outcome, std::string message)
{
    success_ = false;
    outcome_ = outcome;
    message_ = std::move(message);
}

bool RunStatus::passes(MessageBoxes& boxes, const std::optional<std::string>& refusal, Outcome outcome)
{
    if (!refusal)
        return true;
    showErrorBox(boxes, *refusal);
    fail(outcome, *refusal);
    return false;
}

OperationResult RunStatus::result() const
{
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - began_;
    return {outcome_, message_, bytes_, seconds.count()};
}

void leaveIsp(IspContext& ctx)
{
    ctx.expectedReply = ResponseKind::Ignore;
    sendPacket(ctx.port, CmdLeaveIsp());
}

void leaveAfterLastPhase(IspContext& ctx, RunStatus& status, const PhaseClock& clock, const char* elapsedFormat)
{
    leaveIsp(ctx);
    status.markLeft();
    clock.logElapsed(elapsedFormat);
}

namespace {

void showTimeoutBox(IspContext& ctx, const RunStatus& status)
{
    if (status.timedOut())
        showErrorBox(ctx.boxes, kTimeoutText);
}

// A refused run and a bad image end before the first frame, so there is no session to leave;
// a time-out never sends it, and a line that hung up cannot carry it.
bool owesLeave(const RunStatus& status, const OperationResult& result)
{
    const bool sentNothing = result.outcome == Outcome::Refused || result.outcome == Outcome::ImageError;
    return !status.success() && !status.timedOut() && !status.leftIsp() && !sentNothing &&
           result.outcome != Outcome::LineLost;
}

// A line that hung up is closed, not reopened at once: its name may already belong to another
// adapter or program. A later link run reopens it at its end, as after a time-out.
bool closedLostLine(IspContext& ctx, const OperationResult& result)
{
    if (result.outcome != Outcome::LineLost)
        return false;
    ctx.port.Close();
    return true;
}

} // namespace

OperationResult finishLinkRun(IspContext& ctx, OperationView& view, RunStatus& status, LeaveAfterFailure leave)
{
    OperationResult result = status.result();
    showTimeoutBox(ctx, status);
    view.setProgressPosition(0);
    view.setCancelEnabled(false);
    if (leave == LeaveAfterFailure::Send && owesLeave(status, result))
        leaveIsp(ctx);
    if (!closedLostLine(ctx, result))
        ReopenAtBaseBaud(ctx);
    ctx.pause(ctx.timings.afterOperationPause);
    ctx.busy = 0;
    return result;
}

OperationResult finishEraseRun(IspContext& ctx, OperationView& view, RunStatus& status)
{
    OperationResult result = status.result();
    showTimeoutBox(ctx, status);
    if (owesLeave(status, result))
        leaveIsp(ctx);
    closedLostLine(ctx, result);
    view.setProgressPosition(0);
    ctx.busy = 0;
    return result;
}

OperationResult runLinkOperation(IspContext& ctx, OperationView& view, const std::function<void(RunStatus&)>& body)
{
    view.setCancelEnabled(true);
    view.setProgressPosition(0);
    RunStatus status;
    body(status);
    return finishLinkRun(ctx, view, status);
}

} // namespace pw
