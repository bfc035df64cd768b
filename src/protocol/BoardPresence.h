#pragma once
#include "context/IspContext.h"
#include "protocol/LinkControl.h"

#include <functional>

namespace pw {

// A station between boards. A board that has been told to leave ISP runs its own program and
// answers no connect frame until it is power-cycled, that is, replaced; so after a run that
// ended with CmdLeaveIsp the next answer is always a new board. Only after a failure may the
// old board still answer, and then it is gone once a connect frame goes unanswered.
//
// All of these send only CmdConnect, one every 100 ms at most, each given 100 ms to be
// answered: a swap of 200 ms or more always swallows one frame whole. They show no box, log
// nothing and end early on cancelEvent or a hang-up. `tick` is called before every connect
// frame, so the caller can say that it still waits whenever it has been quiet for too long.
//
// A board that answers the connect frame with another reply (WrongReply) is there: it is
// neither the board waited for nor gone.

// Until a board answers (Answered, connectAnswered then set) or answers wrongly (WrongReply).
WaitResult waitForBoard(IspContext& ctx, const std::function<void()>& tick);
// One connect frame: Answered when a board is there to answer it (connectAnswered is set).
WaitResult pollForBoard(IspContext& ctx);
// Until a connect frame goes unanswered (TimedOut): the board has been taken away.
WaitResult waitUntilBoardGone(IspContext& ctx, const std::function<void()>& tick);

} // namespace pw
