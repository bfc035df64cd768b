#pragma once
#include "ops/LinkSteps.h"
#include "ops/RunStatus.h"

#include <cstdint>

namespace pw {

// A page is 512 bytes; its high address byte is page x 2.
inline constexpr std::uint32_t kPageShift = 9;

// Reply classes and the pause before the status command of a whole-chip erase; the single
// erase and Auto use different ones.
struct ChipEraseTiming {
    ReplyWait mode;
    ReplyWait start;
    Millis pause;
    ReplyWait status;
};
ChipEraseTiming singleChipEraseTiming(const IspContext& ctx);
ChipEraseTiming autoChipEraseTiming(const IspContext& ctx);

// Erase mode, erase start, pause, erase status.
bool eraseChipSteps(IspContext& ctx, const ChipEraseTiming& timing, RunStatus& status);

// Erases pages [fromPage, fromPage + pageCount) one by one, each with its own set-address step
// (noted in `walk`), moving the bar to p - fromPage after each page.
bool erasePages(IspContext& ctx, OperationView& view, std::uint32_t fromPage, std::uint32_t pageCount,
                AddressWalk& walk, RunStatus& status);

// False (after a box that says why) when the range runs past the last page of the flash,
// whose high byte p x 2 would wrap onto a low page.
bool pageRangeFits(IspContext& ctx, std::uint32_t fromPage, std::uint32_t pageCount, RunStatus& status);

} // namespace pw
