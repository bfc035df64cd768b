#pragma once
#include "image/FirmwareImage.h"
#include "ops/FlashLayout.h"
#include "ops/LinkSteps.h"
#include "ops/OperationTexts.h"
#include "ops/Progress.h"
#include "ops/RunStatus.h"

#include <array>
#include <cstdint>

namespace pw {

// The 8-byte walk of every block operation: Cancel is looked at before each of `blocks` full
// blocks from `start`; `step(address)` sends one and says whether the run goes on, then its
// bytes are counted and `after(i)` moves the progress. False when the run ended part-way.
template <typename Step, typename After>
bool walkFullBlocks(IspContext& ctx, RunStatus& status, std::uint32_t start, std::uint64_t blocks, Step step,
                    After after)
{
    std::uint32_t address = start;
    for (std::uint64_t i = 0; i < blocks; ++i, address += 8) {
        if (ctx.cancelEvent.isSet()) {
            status.fail(Outcome::Cancelled, kCancelledText);
            return false;
        }
        if (!step(address))
            return false;
        status.addBytes(8);
        after(i);
    }
    return true;
}

// walkFullBlocks over every span of `layout`, with one running block count for `after`.
template <typename Step, typename After>
bool walkLayoutBlocks(IspContext& ctx, RunStatus& status, const FlashLayout& layout, Step step, After after)
{
    std::uint64_t done = 0;
    for (const BlockSpan& span : layout.spans) {
        if (!walkFullBlocks(ctx, status, span.start, span.fullBlocks(), step,
                            [&](std::uint64_t i) { after(done + i); }))
            return false;
        done += span.fullBlocks();
    }
    return true;
}

// One block as the target holds it after programming: image bytes, 0xFF past the image's end.
std::array<std::uint8_t, 8> imageBlock(const FirmwareImage& image, std::uint32_t address);

// How the tail's set-address step announces its reply: Program keeps the kind of the step
// before, Auto sets AnyFrame (after an erase the kind left would not match).
enum class TailSelect { KeepKind, AnyFrame };

// Writes the layout with CmdWrite8, polling Cancel before each full block. The first write must
// be the exact echo; later replies are any frame. False when `status` ended the run.
bool writeBlocks(IspContext& ctx, OperationView& view, const FirmwareImage& image, const FlashLayout& layout,
                 AddressWalk& walk, const ProgressPlan& progress, TailSelect tail, RunStatus& status);

// Reads the layout back and compares it with the image (the tail with 0xFF behind it). A
// difference shows "Verified Failure at 0x%x!!!" with the block's first address.
bool verifyBlocks(IspContext& ctx, OperationView& view, const FirmwareImage& image, const FlashLayout& layout,
                  AddressWalk& walk, const ProgressPlan& progress, RunStatus& status);

// One read: set-address where the high byte changes, then CmdRead8; the data is copied out of
// readDest only after its reply event.
WaitResult readBlock(IspContext& ctx, AddressWalk& walk, std::uint32_t address, std::array<std::uint8_t, 8>& out);

// The 16-byte buffer the matcher copies read data into, attached for one run; detached
// before it goes, so a late reply never writes into freed memory.
class AttachedReadBuffer {
public:
    explicit AttachedReadBuffer(IspContext& ctx) : ctx_(ctx) { ctx_.readDest.attach(bytes_); }
    ~AttachedReadBuffer() { ctx_.readDest.detach(); }
    AttachedReadBuffer(const AttachedReadBuffer&) = delete;
    AttachedReadBuffer& operator=(const AttachedReadBuffer&) = delete;

private:
    IspContext& ctx_;
    std::array<std::uint8_t, 16> bytes_{};
};

} // namespace pw
