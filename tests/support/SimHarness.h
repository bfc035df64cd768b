#pragma once
#include "sim/Simulator.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "context/IspContext.h"

namespace pw::test {

// An in-process boot-loader simulator on a pty, for tests that drive the real engine.
// Pacing is off unless the options ask for it, so tests run at memory speed.
class SimHarness {
public:
    explicit SimHarness(sim::SimOptions options = unpaced());
    ~SimHarness();
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    static sim::SimOptions unpaced();
    static sim::SimOptions withFaults(std::vector<sim::Fault> faults);

    bool started() const { return started_; }
    std::string slavePath() const { return sim_.slavePath(); }
    sim::Simulator& sim() { return sim_; }
    // Maps COMn of the context to the simulator's slave.
    void mapInto(IspContext& ctx, std::uint32_t portNumber = 1) const
    {
        ctx.portMap.assign(portNumber, slavePath());
    }

    // Every frame in order, "< 0F 48 ..." in, "> 0F 80 ..." out, "? ..." rejected.
    std::vector<std::string> log() const;
    // Complete frames the program sent, as "0F 48 5A 34 31 43 31 FF", in order.
    std::vector<std::string> programFrames() const;
    // Replies as they went on the wire.
    std::vector<std::string> replies() const;

    bool waitForProgramFrames(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    // Waits until the condition holds; it is checked again whenever the simulator logs a frame
    // and at least every 20 ms, for conditions on state outside the simulator.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

private:
    std::vector<std::string> filtered(sim::FrameDirection direction) const;

    sim::Simulator sim_;
    bool started_ = false;
};

} // namespace pw::test
