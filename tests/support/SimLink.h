#pragma once
#include "context/IspContext.h"
#include "protocol/LinkControl.h"
#include "protocol/ResponseMatcher.h"
#include "support/SimHarness.h"

namespace pw::test {

// A context on an in-process simulator's pty, opened at 9600 with the panel's matcher as the
// port's owner, as the application opens its link. The tests' engine bench and the benchmarks
// both stand on it; `boxes` must outlive it.
class SimLink {
public:
    SimLink(MessageBoxes& boxes, sim::SimOptions options, const Timings& timings = {})
        : sim(std::move(options)), ctx(boxes)
    {
        sim.mapInto(ctx);
        ctx.timings = timings;
        ctx.portOwner = &matcher;
        OpenLink(ctx, matcher, matcher);
    }
    ~SimLink() { ctx.port.Close(); } // before the matcher goes: the monitor delivers into it
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    SimHarness sim;
    IspContext ctx;
    ResponseMatcher matcher{ctx, MatcherVariant::Panel};
};

} // namespace pw::test
