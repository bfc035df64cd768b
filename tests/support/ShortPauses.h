#pragma once
#include "base/Timings.h"

namespace pw::test {

// The product's fixed pauses cut to a couple of milliseconds; reply time-outs stay as they are.
inline void shortenPauses(Timings& t)
{
    using namespace std::chrono_literals;
    t.openLinkPause = t.closePortPause = t.afterSwitchPause = 2ms;
    t.reopenPause = t.afterOperationPause = t.dumpHandOverPause = 2ms;
    t.chipErasePause = t.pageErasePause = t.autoChipErasePause = 2ms;
    // Long enough for the monitor to put a fire-and-forget frame (the rate command, CmdLeaveIsp)
    // on the line before the close behind it, also on a loaded machine under a sanitizer.
    t.baudSwitchPause = t.reopenClosePause = 20ms;
}

// For the window's and dialogs' fixtures, whose replies are matched on the GUI thread: a
// sanitizer on a busy machine can hold that thread past the product's reply time-outs, and no
// test of theirs waits for a time-out.
inline void allowSlowReplies(Timings& t)
{
    using namespace std::chrono_literals;
    t.shortReply = t.longReply = t.unboundedReply = 10s;
}

} // namespace pw::test
