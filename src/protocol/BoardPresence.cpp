#include "protocol/BoardPresence.h"

#include <chrono>

namespace pw {

namespace {

using Clock = std::chrono::steady_clock;
constexpr Millis kConnectInterval{100};

// Connect frames at most one per interval: each waits out what is left of the interval since
// the one before, so a board that answers at once is not flooded.
class ConnectPoll {
public:
    explicit ConnectPoll(const std::function<void()>& tick) : tick_(tick) {}

    WaitResult next(IspContext& ctx)
    {
        if (tick_)
            tick_();
        const Clock::time_point now = Clock::now();
        const auto spent = std::chrono::duration_cast<Millis>(now - lastSent_);
        if (spent < kConnectInterval && ctx.cancelEvent.waitFor(kConnectInterval - spent))
            return WaitResult::Cancelled;
        lastSent_ = Clock::now();
        return pollForBoard(ctx);
    }

private:
    const std::function<void()>& tick_;
    Clock::time_point lastSent_{};
};

} // namespace

WaitResult pollForBoard(IspContext& ctx)
{
    const WaitResult result = SendAndWait(ctx, ResponseKind::ConnectAck, CmdConnect(), ReplyWait::Presence);
    if (result == WaitResult::Answered)
        ctx.connectAnswered = true;
    return result;
}

WaitResult waitForBoard(IspContext& ctx, const std::function<void()>& tick)
{
    ConnectPoll poll(tick);
    for (;;) {
        const WaitResult result = poll.next(ctx);
        if (result != WaitResult::TimedOut)
            return result;
    }
}

WaitResult waitUntilBoardGone(IspContext& ctx, const std::function<void()>& tick)
{
    ConnectPoll poll(tick);
    for (;;) {
        const WaitResult result = poll.next(ctx);
        if (result != WaitResult::Answered && result != WaitResult::WrongReply) {
            ctx.connectAnswered = false;
            return result;
        }
    }
}

} // namespace pw
