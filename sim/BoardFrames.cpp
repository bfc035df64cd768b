// What the board on the fixture does with a frame, the faults of the command line included.
#include "sim/SimulatorImpl.h"

namespace pw::sim {

namespace {

// A hang-up lets the last reply drain for at most this long...
constexpr auto kHangupGrace = std::chrono::seconds(2);
// ...and counts an empty queue only this long after the last write: the pty hands bytes on late.
constexpr auto kHangupSettle = std::chrono::milliseconds(20);

} // namespace

void Simulator::Impl::onFrame(const std::vector<std::uint8_t>& bytes, bool complete, Clock::time_point now)
{
    if (!complete) {
        ++counters.framesRejected;
        appendLog(FrameDirection::Rejected, bytes, now);
        return;
    }
    ++counters.framesIn;
    appendLog(FrameDirection::In, bytes, now);
    switch (line.hear(now, BootLoader::isConnect(bytes))) {
    case BoardLine::Presence::Empty: return;
    case BoardLine::Presence::Fresh: fitFreshBoard(); break;
    case BoardLine::Presence::Same: break;
    }
    ++boardFrames;
    const auto silentAfter = fault(Kind::SilentAfter);
    if (silentAfter && boardFrames > *silentAfter)
        return;
    // A line about to hang up answers nothing more: the last reply is only being let drain.
    if (hangupPending)
        return;
    const FrameOutcome outcome = loader.handle(bytes, !has(Kind::NoBaudSwitch));
    if (outcome.flashChanged)
        saveFlash();
    if (outcome.command == FrameOutcome::Command::EraseStart)
        eraseStartTime = now;
    if (outcome.command == FrameOutcome::Command::LeaveIsp)
        line.takeAway(now);
    if (!outcome.reply.empty())
        queueReply(outcome, now);
    const auto hangupAfter = fault(Kind::HangupAfter);
    if (hangupAfter && boardFrames == *hangupAfter) {
        hangupPending = true;
        hangupBy = now + kHangupGrace;
    }
}

// The next board on the fixture: erased flash, waiting for a connect, its faults counted afresh.
void Simulator::Impl::fitFreshBoard()
{
    boardsGone.push_back(flash.bytes()); // the first board is there from the start
    FlashBytes erased;
    erased.fill(0xFF);
    flash.assign(erased);
    saveFlash();
    loader.reset();
    boardFrames = 0;
    repliesQueued = 0;
}

void Simulator::Impl::queueReply(const FrameOutcome& outcome, Clock::time_point now)
{
    Reply reply{outcome.reply, now + faultMs(Kind::Slow)};
    if (outcome.command == FrameOutcome::Command::Connect && has(Kind::WrongConnect))
        reply.bytes[1] = 0x81;
    const auto corrupt = fault(Kind::Corrupt);
    if (corrupt && ++repliesQueued == *corrupt)
        reply.bytes[3] ^= 0x01;
    else if (!corrupt)
        ++repliesQueued;
    if (outcome.command == FrameOutcome::Command::EraseStatus && has(Kind::EraseBusy))
        reply.notBefore = std::max(reply.notBefore, eraseStartTime + faultMs(Kind::EraseBusy));
    outbound.push_back(std::move(reply));
}

// A hang-up flushes what the slave has not read, so the last reply is given time to be read.
void Simulator::Impl::hangUpWhenDrained(Clock::time_point now)
{
    if (!hangupPending || !outbound.empty())
        return;
    // The pty hands written bytes to the slave a moment later, so an empty queue counts only
    // once that moment has passed.
    const bool settled = now >= lastWrite + kHangupSettle && pty.unreadBySlave() == 0;
    if (!settled && now < hangupBy)
        return;
    hangupPending = false;
    pty.close();
    counters.hungUp = true;
    inbound.clear();
    changed.notify_all();
}

} // namespace pw::sim
