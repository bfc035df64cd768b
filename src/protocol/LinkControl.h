#pragma once
#include "context/IspContext.h"
#include "protocol/CommandPackets.h"
#include "base/ResponseKind.h"
#include "protocol/ResponseMatcher.h"

#include <optional>

namespace pw {

// Takes the port for a window at baseBaud: matcher count 0, portOpen 1, Open with `owner`,
// a pause, then the monitor. `owner` is what receives the bytes (the matcher itself, or a
// sink that hands them to the GUI thread and on to it).
void OpenLink(IspContext& ctx, ByteSink& owner, ResponseMatcher& matcher);
// Before a window's operation: a port the window holds (portOpen) whose device has gone, or
// could not be opened, is opened again as OpenLink first did. False when it still cannot be
// (the port's box, "%s not found" or why, has been shown each time): the run must not start.
bool RetakeLink(IspContext& ctx, ByteSink& owner, ResponseMatcher& matcher);
// True when the port was open (portOpen) and has been closed; does not change portOpen.
bool ClosePort(IspContext& ctx);
// Sends the rate command for ctx.baudRate and reopens the port at that rate for portOwner.
bool SwitchBaud(IspContext& ctx);
// Reopens the port at baseBaud for portOwner at the end of an operation.
void ReopenAtBaseBaud(IspContext& ctx);

// Queues a frame on the port; a frame of length 0 (no rate command at 9600) sends nothing.
// False when nothing was queued (closed or hung-up port).
bool sendPacket(SerialPort& port, const CommandPacket& packet);

// 500 ms, 1000 ms, bounded by timings; Presence: a station's look for a board, 100 ms
enum class ReplyWait { Short, Long, Unbounded, Presence };
// WrongReply: the wait ran out after a whole reply that is not the one asked for came (a
// connect answered wrongly): the target is there, but not as it must be.
enum class WaitResult { Answered, TimedOut, Cancelled, LineLost, WrongReply };

// One operation step: reset replyEvent, set expectedReply (unless `kind` is empty, which
// keeps the previous kind), send, wait. The wait also wakes on cancelEvent when `cancellable`,
// and always when the device hangs up (the port has reported it).
WaitResult SendAndWait(IspContext& ctx, std::optional<ResponseKind> kind, const CommandPacket& command, ReplyWait wait,
                       bool cancellable = true);

// The opening of every connection: connect (500 ms) and handshake, or the handshake alone
// after a station's wait for a board (connectAnswered). A failure is the result of the step
// that failed.
WaitResult connectToTarget(IspContext& ctx, ReplyWait handshakeWait);

} // namespace pw
