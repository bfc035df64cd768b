#pragma once
#include "ops/Operations.h"
#include "protocol/CommandPackets.h"
#include "protocol/LinkControl.h"
#include "protocol/ResponseMatcher.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"
#include "RecordingView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pw::test {

// Wire frames written out by hand, independent of the builders.
inline const std::string kConnectFrame = "0F 48 5A 34 31 43 31 FF";
inline const std::string kHandshakeFrame = "0F 02 20 02 02 02 FF";
inline const std::string kLeaveFrame = "0F 0E 01 01 01 FF";
std::string setAddrFrame(std::uint8_t high);
std::string writeFrame(std::uint8_t low, const std::vector<std::uint8_t>& data);
std::string readFrame(std::uint8_t low);
// Keep lanes 0..3 (registers 03 05 07 09) then erase lanes 0..3 (04 06 08 0A).
std::vector<std::string> maskFrames(std::uint32_t keepMask, std::uint32_t eraseMask);
std::vector<std::string> pageEraseFrames(std::uint32_t page);
inline const std::vector<std::string> kChipEraseFrames = {"0F 0E 01 80 80 80 FF", "0F 0A 00 00 00 00 FF",
                                                          "0F 00 00 00 00 00 FF"};

std::vector<std::uint8_t> patternImage(std::size_t length, std::uint8_t seed = 0);

// The engine against the simulator: a context mapped onto the simulator's pty, opened at
// 9600 with the panel's matcher, and pauses cut to a few ms (the 500/1000 ms time-outs stay).
class OpsBench {
public:
    explicit OpsBench(sim::SimOptions options = SimHarness::unpaced());
    ~OpsBench();
    OpsBench(const OpsBench&) = delete;
    OpsBench& operator=(const OpsBench&) = delete;

    // A binary image file in this bench's own folder.
    std::string imageFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.bin");
    const std::string& folder() const { return folder_; }
    // The program frames once the simulator has logged at least `count` of them.
    std::vector<std::string> framesAfter(std::size_t count);
    // Everything the target received before a marker frame sent now: a run's frames, once it
    // has ended, without waiting for frames that may never come.
    std::vector<std::string> framesBeforeMarker();
    // True once the simulator has received this frame.
    bool waitForFrame(const std::string& frame);
    // Runs a worker the way a starter does: busy claimed, cancelEvent reset.
    template <typename Work>
    OperationResult run(Work work)
    {
        ctx.busy = 1;
        ctx.cancelEvent.reset();
        return work();
    }

    RecordingBoxes boxes;
    SimHarness sim;
    IspContext ctx{boxes};
    ResponseMatcher matcher{ctx, MatcherVariant::Panel};
    RecordingView view;

private:
    std::string folder_;
};

} // namespace pw::test
