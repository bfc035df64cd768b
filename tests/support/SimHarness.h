#pragma once
#include "context/IspContext.h"
#include "sim/FrameLog.h"
#include "sim/Simulator.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace pw::test {

// An in-process boot-loader simulator on a pty, for tests that drive the real programs.
// Pacing is off unless the options ask for it, so tests run at memory speed.
class SimHarness {
public:
    explicit SimHarness(sim::SimOptions options = unpaced()) : sim_(std::move(options)) { started_ = sim_.start(); }
    ~SimHarness() { sim_.stop(); }
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    static sim::SimOptions unpaced() { return withFaults({}); }
    static sim::SimOptions withFaults(std::vector<sim::Fault> faults)
    {
        sim::SimOptions options;
        options.pacing = false;
        options.faults = std::move(faults);
        return options;
    }

    bool started() const { return started_; }
    std::string slavePath() const { return sim_.slavePath(); }
    sim::Simulator& sim() { return sim_; }
    const sim::Simulator& sim() const { return sim_; }
    // Maps COMn of the context to the simulator's slave.
    void mapInto(IspContext& ctx, std::uint32_t portNumber = 1) const { ctx.portMap.assign(portNumber, slavePath()); }

    // Complete frames the program sent ("0F 48 5A 34 31 43 31 FF"), or the replies, in order.
    std::vector<std::string> programFrames() const { return filtered(sim::FrameDirection::In); }
    std::vector<std::string> replies() const { return filtered(sim::FrameDirection::Out); }

    bool waitForProgramFrames(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        return sim_.waitForLog(
            [count](const std::vector<sim::FrameLogEntry>& log) {
                return std::ranges::count(log, sim::FrameDirection::In, &sim::FrameLogEntry::direction) >=
                       static_cast<std::ptrdiff_t>(count);
            },
            timeout);
    }
    // The program's frames reach the simulator after its own run has ended; wait for the last.
    bool waitForLastProgramFrame(const std::string& frame) const
    {
        return waitUntil([&] {
            const std::vector<std::string> frames = programFrames();
            return !frames.empty() && frames.back() == frame;
        });
    }
    // Waits until the condition holds; it is checked again whenever the simulator logs a frame
    // and at least every 20 ms, for conditions on state outside the simulator.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!condition()) {
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            const std::size_t seen = sim_.frames().size();
            sim_.waitForLog([seen](const std::vector<sim::FrameLogEntry>& log) { return log.size() != seen; },
                            std::chrono::milliseconds(20));
        }
        return true;
    }

private:
    std::vector<std::string> filtered(sim::FrameDirection direction) const
    {
        std::vector<std::string> lines;
        for (const sim::FrameLogEntry& e : sim_.frames())
            if (e.direction == direction)
                lines.push_back(sim::hexBytes(e.bytes));
        return lines;
    }

    sim::Simulator sim_;
    bool started_ = false;
};

} // namespace pw::test
