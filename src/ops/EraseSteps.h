#pragma once
#include "ops/LinkSteps.h"
#include "ops/RunStatus.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pw {

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

struct PageRange {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

// The pages from the start address to the end of the flash: what Auto erases and the Page
// Erase dialog proposes. None when the start lies at or past the end.
PageRange pagesFromStart(std::uint32_t startAddr, std::uint32_t flashSize);

// Why a page range must not be erased, or nothing: pages past the last one of the flash have
// a high byte p x 2 that wraps onto a low page.
std::optional<std::string> pageRangeRefusal(std::uint32_t fromPage, std::uint32_t pageCount, std::uint32_t flashSize);

// False (after a box that says why) when pageRangeRefusal refuses the range.
bool pageRangeFits(IspContext& ctx, std::uint32_t fromPage, std::uint32_t pageCount, RunStatus& status);

} // namespace pw
