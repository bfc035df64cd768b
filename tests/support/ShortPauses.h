#pragma once
#include "base/Timings.h"

namespace pw::test {

// The product's fixed pauses cut to a couple of milliseconds; reply time-outs stay as they are.
inline void shortenPauses(Timings& t)
{
    using namespace std::chrono_literals;
    t.openLinkPause = t.closePortPause = t.baudSwitchPause = t.afterSwitchPause = 2ms;
    t.reopenClosePause = t.reopenPause = t.afterOperationPause = t.dumpHandOverPause = 2ms;
    t.chipErasePause = t.pageErasePause = t.autoChipErasePause = 2ms;
}

} // namespace pw::test
