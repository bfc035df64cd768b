#include "protocol/BoardPresence.h"

#include <chrono>

namespace pw {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kConnectInterval{500};

// What is left of the connect interval that began at `sent`.
Millis restOfInterval(Clock::time_point sent)
{
    const auto spent = std::chrono::duration_cast<Millis>(Clock::now() - sent);
    return spent < kConnectInterval ? kConnectInterval - spent : Millis(0);
}

// One connect frame; an early reply still takes its interval, so a board is not flooded.
WaitResult pollOnce(IspContext& ctx)
{
    const Clock::time_point sent = Clock::now();
    const WaitResult result = SendAndWait(ctx, ResponseKind::ConnectAck, CmdConnect(), ReplyWait::Short);
    if (result == WaitResult::Answered && ctx.cancelEvent.waitFor(restOfInterval(sent)))
        return WaitResult::Cancelled;
    return result;
}

} // namespace

WaitResult WaitForBoard(IspContext& ctx)
{
    for (;;) {
        const Clock::time_point sent = Clock::now();
        const WaitResult result = SendAndWait(ctx, ResponseKind::ConnectAck, CmdConnect(), ReplyWait::Short);
        if (result == WaitResult::Answered)
            ctx.connectAnswered = true;
        if (result != WaitResult::TimedOut)
            return result;
        // A wait that ended early (a reply of the wrong kind) still keeps the pace.
        if (ctx.cancelEvent.waitFor(restOfInterval(sent)))
            return WaitResult::Cancelled;
    }
}

WaitResult WaitUntilBoardGone(IspContext& ctx, Millis quiet)
{
    Clock::time_point lastAnswer = Clock::now();
    for (;;) {
        const WaitResult result = pollOnce(ctx);
        if (result == WaitResult::Answered)
            lastAnswer = Clock::now();
        else if (result != WaitResult::TimedOut)
            return result;
        else if (Clock::now() - lastAnswer >= quiet)
            return WaitResult::TimedOut;
    }
}

} // namespace pw
