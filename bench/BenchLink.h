#pragma once
// One programming link for the benchmarks: a paced in-process simulator on a pty, a context
// mapped onto it with the panel's matcher, opened at the base rate like the application does.
// Header only: every bench_*.cpp is its own executable.
#include "context/IspContext.h"
#include "ops/OperationView.h"
#include "ops/Operations.h"
#include "protocol/LinkControl.h"
#include "protocol/ResponseMatcher.h"
#include "sim/Simulator.h"
#include "support/SimLink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace pw::bench {

class PrintedBoxes : public MessageBoxes {
public:
    void show(const std::string&, const std::string& text, BoxIcon) override
    {
        std::fprintf(stderr, "box: %s\n", text.c_str());
    }
};

class QuietView : public OperationView {
public:
    void appendLogLine(const std::string&) override {}
    void setProgressRange(int, int) override {}
    void setProgressPosition(int) override {}
    void setCancelEnabled(bool) override {}
};

// Exchanges of a 64 KiB walk: 8192 blocks of 7+12 bytes, 256 set-address frames of 7+7.
inline double wireSeconds(std::uint32_t rate, std::size_t blocks = 8192, std::size_t addressFrames = 256)
{
    return static_cast<double>(blocks * 19 + addressFrames * 14) * 10.0 / rate;
}

inline std::vector<std::uint8_t> benchImage(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<std::uint8_t>((k * 13 + (k >> 9)) ^ 0xA5);
    return bytes;
}

class BenchLink {
public:
    // `paced` off: the simulator answers at memory speed, which leaves the software's own cost.
    // The application's pauses stay: they are part of what a user waits for.
    // `eventChar`: the adapter model sends a reply on at its last byte, 0xFF, not at the tick.
    explicit BenchLink(const std::string& folder, int index = 0, bool paced = true, std::uint32_t adapterLatencyMs = 0,
                       bool eventChar = false)
        : link(boxes, options(paced, adapterLatencyMs, eventChar))
    {
        if (!link.sim.started()) {
            std::fprintf(stderr, "simulator: %s\n", link.sim.sim().error().c_str());
            std::exit(1);
        }
        imagePath_ = folder + "/image" + std::to_string(index) + ".bin";
    }
    BenchLink(const BenchLink&) = delete;
    BenchLink& operator=(const BenchLink&) = delete;

    const std::string& writeImage(const std::vector<std::uint8_t>& bytes)
    {
        std::ofstream out(imagePath_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return imagePath_;
    }

    template <typename Worker>
    OperationResult run(Worker worker)
    {
        return run(worker, view);
    }
    // Through another view: a window's, whose every report is an event on its thread.
    template <typename Worker>
    OperationResult run(Worker worker, OperationView& through)
    {
        sim().clearFrames();
        ctx.busy = 1;
        ctx.cancelEvent.reset();
        return worker(ctx, through, imagePath_);
    }

    // Seconds of the block walk as the target saw it: from the moment the first set-address
    // frame began to arrive to the end of the last reply before CmdLeaveIsp.
    double walkSeconds(std::uint32_t rate) const
    {
        const std::vector<sim::FrameLogEntry> log = link.sim.sim().frames();
        const auto first = std::find_if(log.begin(), log.end(), [](const sim::FrameLogEntry& e) {
            return e.direction == sim::FrameDirection::In && e.bytes.size() == 7 && e.bytes[1] == 0x0E &&
                   e.bytes[2] == 0x00;
        });
        const auto last = std::find_if(log.rbegin(), log.rend(), [](const sim::FrameLogEntry& e) {
            return e.direction == sim::FrameDirection::Out;
        });
        if (first == log.end() || last == log.rend())
            return 0;
        const double frameIn = 7 * 10.0 / rate;
        return static_cast<double>(last->us - first->us) / 1e6 + frameIn;
    }

    sim::Simulator& sim() { return link.sim.sim(); }
    // Hands the port to another owner (the GUI-thread hand-over of the panel), as the panel does.
    void reopenFor(ByteSink& owner)
    {
        ctx.portOwner = &owner;
        OpenLink(ctx, owner, matcher);
    }

    PrintedBoxes boxes;
    test::SimLink link;
    IspContext& ctx = link.ctx;
    ResponseMatcher& matcher = link.matcher;
    QuietView view;

private:
    static sim::SimOptions options(bool paced, std::uint32_t adapterLatencyMs, bool eventChar)
    {
        sim::SimOptions chosen;
        chosen.pacing = paced;
        chosen.adapterLatencyMs = adapterLatencyMs;
        chosen.eventChar = eventChar;
        return chosen;
    }

    std::string imagePath_;
};

// Program without a patch, in the shape of the other workers the benches hand around.
inline OperationResult programImage(IspContext& ctx, OperationView& view, const std::string& path)
{
    return ProgramThread(ctx, view, path);
}

inline std::string benchFolder()
{
    char pattern[] = "/tmp/pw-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

} // namespace pw::bench
