#pragma once
#include "context/IspContext.h"
#include "protocol/LinkControl.h"

namespace pw {

// A station between boards. Both send only CmdConnect, one every 500 ms at most, show no
// box and log nothing; both end early on cancelEvent or a hang-up.

// Until a board answers the connect frame (Answered); connectAnswered is then set.
WaitResult WaitForBoard(IspContext& ctx);
// Until the board has left no connect frame answered for `quiet` (TimedOut).
WaitResult WaitUntilBoardGone(IspContext& ctx, Millis quiet);

} // namespace pw
