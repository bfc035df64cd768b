#include "protocol/BoardPresence.h"

#include <chrono>

namespace pw {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kConnectInterval{500};

// Connect frames at most one per interval: each waits out what is left of the interval since
// the one before, so a board that answers at once is not flooded.
class ConnectPoll {
public:
    WaitResult next(IspContext& ctx)
    {
        const auto spent = std::chrono::duration_cast<Millis>(Clock::now() - lastSent_);
        if (spent < kConnectInterval && ctx.cancelEvent.waitFor(kConnectInterval - spent))
            return WaitResult::Cancelled;
        lastSent_ = Clock::now();
        return SendAndWait(ctx, ResponseKind::ConnectAck, CmdConnect(), ReplyWait::Short);
    }

private:
    Clock::time_point lastSent_{};
};

} // namespace

WaitResult WaitForBoard(IspContext& ctx)
{
    ConnectPoll poll;
    for (;;) {
        const WaitResult result = poll.next(ctx);
        if (result == WaitResult::Answered)
            ctx.connectAnswered = true;
        if (result != WaitResult::TimedOut)
            return result;
    }
}

WaitResult WaitUntilBoardGone(IspContext& ctx, Millis quiet)
{
    ConnectPoll poll;
    Clock::time_point lastAnswer = Clock::now();
    for (;;) {
        const WaitResult result = poll.next(ctx);
        if (result == WaitResult::Answered)
            lastAnswer = Clock::now();
        else if (result != WaitResult::TimedOut)
            return result;
        else if (Clock::now() - lastAnswer >= quiet)
            return WaitResult::TimedOut;
    }
}

} // namespace pw
