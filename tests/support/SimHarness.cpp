#include "support/SimHarness.h"

#include <algorithm>

namespace pw::test {

using sim::FrameDirection;
using sim::FrameLogEntry;

SimHarness::SimHarness(sim::SimOptions options) : sim_(std::move(options))
{
    started_ = sim_.start();
}

SimHarness::~SimHarness()
{
    sim_.stop();
}

sim::SimOptions SimHarness::unpaced()
{
    sim::SimOptions options;
    options.pacing = false;
    return options;
}

sim::SimOptions SimHarness::withFaults(std::vector<sim::Fault> faults)
{
    sim::SimOptions options = unpaced();
    options.faults = std::move(faults);
    return options;
}

std::vector<std::string> SimHarness::log() const
{
    std::vector<std::string> lines;
    for (const FrameLogEntry& entry : sim_.frames()) {
        const char* mark = entry.direction == FrameDirection::In    ? "< "
                           : entry.direction == FrameDirection::Out ? "> "
                                                                    : "? ";
        lines.push_back(mark + sim::hexBytes(entry.bytes));
    }
    return lines;
}

std::vector<std::string> SimHarness::filtered(FrameDirection direction) const
{
    std::vector<std::string> lines;
    for (const FrameLogEntry& entry : sim_.frames())
        if (entry.direction == direction)
            lines.push_back(sim::hexBytes(entry.bytes));
    return lines;
}

std::vector<std::string> SimHarness::programFrames() const
{
    return filtered(FrameDirection::In);
}

std::vector<std::string> SimHarness::replies() const
{
    return filtered(FrameDirection::Out);
}

bool SimHarness::waitForProgramFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    return sim_.waitForLog(
        [count](const std::vector<FrameLogEntry>& log) {
            return static_cast<std::size_t>(std::count_if(log.begin(), log.end(), [](const FrameLogEntry& e) {
                       return e.direction == FrameDirection::In;
                   })) >= count;
        },
        timeout);
}

bool SimHarness::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        const std::size_t seen = sim_.frames().size();
        const auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now, std::chrono::milliseconds(20));
        sim_.waitForLog([seen](const std::vector<FrameLogEntry>& log) { return log.size() != seen; },
                        std::chrono::duration_cast<std::chrono::milliseconds>(slice) + std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace pw::test
