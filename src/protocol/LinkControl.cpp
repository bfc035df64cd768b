#include "protocol/LinkControl.h"

namespace pw {

namespace {

bool openFor(IspContext& ctx, ByteSink* owner, std::uint32_t baud)
{
    return ctx.port.Open(owner, ctx.comPort, baud, ctx.parity, ctx.dataBits, ctx.stopBits, ctx.writeBufferSize);
}

Millis timeoutFor(const IspContext& ctx, ReplyWait wait)
{
    switch (wait) {
    case ReplyWait::Short: return ctx.timings.shortReply;
    case ReplyWait::Long: return ctx.timings.longReply;
    case ReplyWait::Unbounded: return ctx.timings.unboundedReply;
    case ReplyWait::Presence: return ctx.timings.presenceReply;
    }
    return ctx.timings.unboundedReply;
}

} // namespace

bool sendPacket(SerialPort& port, const CommandPacket& packet)
{
    return packet.length > 0 && port.Write(packet.bytes.data(), packet.length);
}

void OpenLink(IspContext& ctx, ByteSink& owner, ResponseMatcher& matcher)
{
    matcher.resetCount();
    ctx.portOpen = 1;
    openFor(ctx, &owner, ctx.baseBaud); // a missing device has been reported; the next operation times out
    ctx.pause(ctx.timings.openLinkPause);
    ctx.port.StartMonitor();
}

bool RetakeLink(IspContext& ctx, ByteSink& owner, ResponseMatcher& matcher)
{
    if (ctx.portOpen == 0 || ctx.port.isOpen())
        return true;
    ctx.port.sayNextOpenFailure();
    OpenLink(ctx, owner, matcher);
    return ctx.port.isOpen();
}

bool ClosePort(IspContext& ctx)
{
    if (ctx.portOpen == 0)
        return false;
    ctx.port.Close();
    ctx.pause(ctx.timings.closePortPause);
    return true;
}

bool SwitchBaud(IspContext& ctx)
{
    sendPacket(ctx.port, CmdSetBaud(ctx.baudRate)); // none at 9600: the port is only reopened
    ctx.pause(ctx.timings.baudSwitchPause);
    ctx.port.Close();
    ctx.pause(ctx.timings.baudSwitchPause);
    openFor(ctx, ctx.portOwner, ctx.baudRate);
    ctx.port.StartMonitor();
    return true;
}

void ReopenAtBaseBaud(IspContext& ctx)
{
    ctx.pause(ctx.timings.reopenClosePause);
    ctx.port.Close();
    ctx.pause(ctx.timings.reopenPause);
    ctx.portOpen = 1;
    openFor(ctx, ctx.portOwner, ctx.baseBaud);
    ctx.pause(ctx.timings.reopenPause);
    ctx.port.StartMonitor();
}

WaitResult SendAndWait(IspContext& ctx, std::optional<ResponseKind> kind, const CommandPacket& command, ReplyWait wait,
                       bool cancellable)
{
    ctx.replyEvent.reset();
    ctx.wrongReply = false;
    if (kind)
        ctx.expectedReply = *kind;
    // A packet the port refuses (closed, hung up) simply goes unanswered: the wait times out.
    sendPacket(ctx.port, command);
    const Millis timeout = timeoutFor(ctx, wait);
    ManualResetEvent& hangUp = ctx.port.hangUpEvent();
    const int woken = cancellable ? ManualResetEvent::waitAny({&ctx.replyEvent, &hangUp, &ctx.cancelEvent}, timeout)
                                  : ManualResetEvent::waitAny({&ctx.replyEvent, &hangUp}, timeout);
    switch (woken) {
    case 0: return WaitResult::Answered;
    case 1: return WaitResult::LineLost;
    case 2: return WaitResult::Cancelled;
    default: return ctx.wrongReply ? WaitResult::WrongReply : WaitResult::TimedOut;
    }
}

WaitResult connectToTarget(IspContext& ctx, ReplyWait handshakeWait)
{
    if (!ctx.connectAnswered.exchange(false)) {
        const WaitResult connected = SendAndWait(ctx, ResponseKind::ConnectAck, CmdConnect(), ReplyWait::Short);
        if (connected != WaitResult::Answered)
            return connected;
    }
    return SendAndWait(ctx, ResponseKind::HandshakeAck, CmdHandshake(), handshakeWait);
}

} // namespace pw
