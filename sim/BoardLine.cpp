#include "sim/BoardLine.h"

namespace pw::sim {

BoardLine::Presence BoardLine::hear(Clock::time_point now)
{
    if (!away_)
        return Presence::Same;
    if (board_ >= boards_ || now < nextArrives_)
        return Presence::Empty;
    ++board_;
    away_ = false;
    return Presence::Fresh;
}

void BoardLine::takeAway(Clock::time_point now)
{
    if (!active() || away_)
        return;
    away_ = true;
    nextArrives_ = now + swap_;
}

} // namespace pw::sim
