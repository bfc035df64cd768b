#pragma once
#include "OpsBench.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace pw::test {

// The six operations as the reliability tests drive them: small fixed workloads, the flash
// preloaded so that every outcome leaves a trace that can be checked afterwards.
enum class OpKind { Program, Verify, EraseAll, PageErase, Auto, Dump };
inline constexpr OpKind kAllOps[] = {OpKind::Program, OpKind::Verify, OpKind::EraseAll,
                                     OpKind::PageErase, OpKind::Auto, OpKind::Dump};

const char* opName(OpKind op);

// Frames the operation sends before its first mask (connect, handshake, rate command).
std::uint32_t framesBeforeMasks(OpKind op, std::uint32_t rate);
// Number of mask frames it sends (0 for Verify and Dump).
std::uint32_t maskFrameCount(OpKind op);

// The pages the page erase works on, and the dumped page.
inline constexpr std::uint32_t kErasedFirstPage = 2;
inline constexpr std::uint32_t kErasedPageCount = 2;

struct OpRun {
    OperationResult result;
    std::chrono::milliseconds took{0};
    std::vector<std::uint8_t> image;       // what Program, Verify and Auto worked with
    sim::FlashBytes flashBefore{};
    std::vector<std::uint8_t> dumped;      // Dump.bin after a Dump, else empty
};

// The flash a run starts from: a pattern, or erased for Program (which can only clear bits).
sim::FlashBytes startingFlash(OpKind op);
// Runs the operation on the bench at the given rate; `imageLength` sizes Program, Verify and
// Auto. Dump reads one page.
OpRun runOp(OpsBench& bench, OpKind op, std::uint32_t rate, std::size_t imageLength);

// What a run may leave in flash, success or not: Program writes a prefix of its image,
// erases clear whole pages or blocks of their range, readers change nothing. Empty when sound.
std::string flashDamage(OpKind op, const OpRun& run, const sim::FlashBytes& after);
// The flash a successful run must leave.
bool flashAsAfterSuccess(OpKind op, const OpRun& run, const sim::FlashBytes& after);

} // namespace pw::test
