#pragma once
#include "ops/Operations.h"
#include "protocol/ResponseMatcher.h"
#include "support/Files.h"
#include "support/RecordingBoxes.h"
#include "support/RecordingView.h"
#include "support/SimHarness.h"
#include "support/SimLink.h"
#include "support/WireFrames.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace pw::test {

// The six operations, as tables name them.
enum class OpKind { Program, Verify, EraseAll, PageErase, Auto, Dump };
inline constexpr OpKind kAllOps[] = {OpKind::Program,   OpKind::Verify, OpKind::EraseAll,
                                     OpKind::PageErase, OpKind::Auto,   OpKind::Dump};
const char* opName(OpKind op);

// What a run is given beyond the context: the image file, the pages, the dump's file type.
struct OpArgs {
    std::vector<std::uint8_t> image{};
    std::uint32_t fromPage = 0;
    std::uint32_t pageCount = 1;
    bool asText = false;
    std::string imagePath{}; // instead of a file of `image`
};

// The engine against the simulator: a context mapped onto the simulator's pty, opened at
// 9600 with the panel's matcher, and pauses cut to a few ms (the reply time-outs stay).
class EngineBench {
public:
    explicit EngineBench(sim::SimOptions options = SimHarness::unpaced());
    EngineBench(const EngineBench&) = delete;
    EngineBench& operator=(const EngineBench&) = delete;

    std::string imageFile(const std::vector<std::uint8_t>& bytes, const std::string& name = "image.bin");
    std::string folder() const { return dir_.path().toStdString(); }
    // Runs one operation the way a starter does: busy claimed, cancelEvent reset.
    OperationResult run(OpKind op, const OpArgs& args = {});
    // Everything the target received before a marker frame sent now: a run's frames once it
    // has ended, without waiting for frames that may never come.
    std::vector<std::string> framesBeforeMarker();

    RecordingBoxes boxes;
    SimLink link;
    SimHarness& sim = link.sim;
    IspContext& ctx = link.ctx;
    ResponseMatcher& matcher = link.matcher;
    RecordingView view;

private:
    TempDir dir_;
};

// The flash a successful run leaves, from the start address and the flash before it.
sim::FlashBytes flashAfterSuccess(OpKind op, const OpArgs& args, std::uint32_t start, sim::FlashBytes flash);

} // namespace pw::test
