// Every operation against every target misbehaviour and a Cancel, at both ends of the rate
// range. Each cell checks what the user is told, that nothing reads like success after a
// failure, the frames the target saw, the flash afterwards and that the run ended in time.
#include "support/EngineBench.h"

#include "ops/OperationTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

enum class FaultCase {
    SilentConnect,
    SilentHandshake,
    SilentMask,
    SilentWalk,
    WrongConnect,
    CorruptReply,
    SlowReplies,
    HangupMidRun,
    NoRateSwitch,
    EraseBusy,
    Cancel,
    CancelInSilence,
};
constexpr FaultCase kLastFault = FaultCase::CancelInSilence;

// A switch, so that the compiler names a case left out.
const char* faultName(FaultCase fault)
{
    switch (fault) {
    case FaultCase::SilentConnect: return "SilentConnect";
    case FaultCase::SilentHandshake: return "SilentHandshake";
    case FaultCase::SilentMask: return "SilentMask";
    case FaultCase::SilentWalk: return "SilentWalk";
    case FaultCase::WrongConnect: return "WrongConnect";
    case FaultCase::CorruptReply: return "CorruptReply";
    case FaultCase::SlowReplies: return "SlowReplies";
    case FaultCase::HangupMidRun: return "HangupMidRun";
    case FaultCase::NoRateSwitch: return "NoRateSwitch";
    case FaultCase::EraseBusy: return "EraseBusy";
    case FaultCase::Cancel: return "Cancel";
    case FaultCase::CancelInSilence: return "CancelInSilence";
    }
    return "";
}
constexpr std::uint32_t kRates[] = {9600, 115200};

constexpr std::size_t kImageLength = 0x800;
constexpr std::size_t kSlowImageLength = 0x20;    // every reply late: keep the exchange count low
constexpr std::uint32_t kSlowMs = 60;             // far below the shortest reply time-out
constexpr std::uint32_t kEraseBusyMs = 1500;      // beyond every erase status wait
constexpr std::uint32_t kCorruptedAddress = 0x50; // the 11th read of a reading walk
constexpr std::uint32_t kErasedFirstPage = 2, kErasedPageCount = 2;
const auto kCellBound = std::chrono::seconds(30);
const char* const kResetBox = "Please reset MCU and try again!";
const char* const kHungUpBox = "WARNING:  read() Failed with the following error: \nthe device hung up\nPort: 1\n";

struct Cell {
    OpKind op;
    FaultCase fault;
    std::uint32_t rate;
};

void PrintTo(const Cell& c, std::ostream* out)
{
    *out << opName(c.op) << " " << faultName(c.fault) << " " << c.rate;
}

std::uint32_t framesBeforeMasks(OpKind op, std::uint32_t rate)
{
    const bool switches = op == OpKind::Auto
                              ? rate != 9600
                              : (op == OpKind::Program || op == OpKind::Verify || op == OpKind::Dump) && rate == 115200;
    return 2 + (switches ? 1 : 0);
}

std::uint32_t maskFrameCount(OpKind op)
{
    return op == OpKind::Verify || op == OpKind::Dump ? 0 : 8;
}

// Frames the target answers before it falls silent, hangs up or sees Cancel mid-work.
std::uint32_t midRunFrames(OpKind op, std::uint32_t rate)
{
    const std::uint32_t opening = framesBeforeMasks(op, rate) + maskFrameCount(op);
    switch (op) {
    case OpKind::EraseAll: return opening + 2;  // silent at the erase status
    case OpKind::PageErase: return opening + 5; // second page, at its erase mode
    case OpKind::Auto: return opening + 3 + 20; // after the chip erase, inside the write walk
    default: return opening + 20;
    }
}

// Where Cancel comes: inside the walk, or in the masks for the erases, whose steps run on.
std::uint32_t cancelFrames(OpKind op, std::uint32_t rate)
{
    const bool erases = op == OpKind::EraseAll || op == OpKind::PageErase;
    return erases ? framesBeforeMasks(op, rate) + 2 : midRunFrames(op, rate);
}

// The reply (counted from 1; the rate command has none) whose byte 3 arrives flipped.
std::uint32_t corruptedReply(OpKind op)
{
    constexpr std::uint32_t readIndex = kCorruptedAddress / 8;
    switch (op) {
    case OpKind::Program: return 2 + 8 + 1 + 10; // a write echo
    case OpKind::Verify:
    case OpKind::Dump: return 2 + 1 + readIndex + 1; // first data byte of a read
    case OpKind::EraseAll: return 2 + 8 + 3;         // the erase status
    case OpKind::PageErase: return 2 + 8 + 4;        // the first page's status
    case OpKind::Auto: return 2 + 8 + 3 + (kImageLength / 0x100 + kImageLength / 8) + 1 + readIndex + 1;
    }
    return 0;
}

// The target's misbehaviour for a cell; nothing when the operation has no such step.
std::optional<std::vector<sim::Fault>> faultsFor(const Cell& c)
{
    const bool erases = c.op == OpKind::EraseAll || c.op == OpKind::PageErase || c.op == OpKind::Auto;
    switch (c.fault) {
    case FaultCase::SilentConnect: return {{{Kind::SilentAfter, 0}}};
    case FaultCase::SilentHandshake: return {{{Kind::SilentAfter, 1}}};
    case FaultCase::SilentMask:
        if (maskFrameCount(c.op) == 0)
            return std::nullopt;
        return {{{Kind::SilentAfter, framesBeforeMasks(c.op, c.rate) + 2}}};
    case FaultCase::SilentWalk: return {{{Kind::SilentAfter, midRunFrames(c.op, c.rate)}}};
    case FaultCase::WrongConnect: return {{{Kind::WrongConnect, 0}}};
    case FaultCase::CorruptReply: return {{{Kind::Corrupt, corruptedReply(c.op)}}};
    case FaultCase::SlowReplies: return {{{Kind::Slow, kSlowMs}}};
    case FaultCase::HangupMidRun: return {{{Kind::HangupAfter, midRunFrames(c.op, c.rate)}}};
    case FaultCase::NoRateSwitch: return {{{Kind::NoBaudSwitch, 0}}};
    case FaultCase::EraseBusy:
        if (!erases)
            return std::nullopt;
        return {{{Kind::EraseBusy, kEraseBusyMs}}};
    case FaultCase::Cancel: return {{{Kind::Slow, 2}}};
    case FaultCase::CancelInSilence: return {{{Kind::SilentAfter, cancelFrames(c.op, c.rate)}}};
    }
    return std::nullopt;
}

struct Expected {
    Outcome outcome;
    std::vector<std::string> boxes; // exactly these, in order
};

Expected expectedFor(const Cell& c, const std::string& device)
{
    const Expected timesOut{Outcome::TimedOut, {kTimeoutText}};
    switch (c.fault) {
    // The monitor reports a lost line once, naming the device; the reopen at the end is silent.
    case FaultCase::HangupMidRun: return {Outcome::LineLost, {kHungUpBox + ("Device: " + device + "\n")}};
    case FaultCase::WrongConnect: return {Outcome::TimedOut, {kResetBox, kTimeoutText}};
    case FaultCase::CorruptReply:
        // Only the first write echo is compared; read data has no check but the comparison.
        if (c.op == OpKind::Program || c.op == OpKind::Dump)
            return {Outcome::Success, {}};
        if (c.op == OpKind::Verify || c.op == OpKind::Auto)
            return {Outcome::Mismatch, {verifyFailureText(kCorruptedAddress)}};
        return timesOut;
    case FaultCase::SlowReplies: return {Outcome::Success, {}};
    case FaultCase::NoRateSwitch:
        return framesBeforeMasks(c.op, c.rate) > 2 ? timesOut : Expected{Outcome::Success, {}};
    case FaultCase::Cancel:
    case FaultCase::CancelInSilence: return {Outcome::Cancelled, {}};
    default: return timesOut;
    }
}

// A run that stops part-way leaves each byte as it was, as success leaves it, or erased.
std::string flashDamage(const sim::FlashBytes& before, const sim::FlashBytes& success, const sim::FlashBytes& after)
{
    for (std::size_t k = 0; k < after.size(); ++k)
        if (after[k] != before[k] && after[k] != success[k] && after[k] != 0xFF)
            return "byte " + std::to_string(k) + " is neither as before, as after success, nor erased";
    return "";
}

bool isElapsedLine(const std::string& line)
{
    return line.find("elapsed time") != std::string::npos;
}

// A single operation logs no elapsed time after a failure; Auto keeps the times of the phases
// it completed, but each is followed by the next phase's start.
void checkNoSuccessLine(OpKind op, const std::vector<std::string>& lines)
{
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const bool phaseFollows = op == OpKind::Auto && k + 1 < lines.size() && lines[k + 1].rfind("Begin ", 0) == 0;
        EXPECT_TRUE(!isElapsedLine(lines[k]) || phaseFollows) << "a failed run logged: " << lines[k];
    }
}

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, OutcomeTextsFramesAndFlash)
{
    const Cell& c = GetParam();
    EngineBench bench(SimHarness::withFaults(*faultsFor(c)));
    const Expected expected = expectedFor(c, bench.sim.slavePath());

    sim::FlashBytes before;
    before.fill(0xFF);
    if (c.op != OpKind::Program) // Program can only clear bits
        std::ranges::copy(patternImage(before.size(), 3), before.begin());
    bench.sim.sim().setFlash(before);
    const std::size_t length = c.fault == FaultCase::SlowReplies ? kSlowImageLength : kImageLength;
    OpArgs args{.image = c.op == OpKind::Verify ? std::vector<std::uint8_t>(before.begin(), before.begin() + length)
                                                : patternImage(length, 9),
                .fromPage = c.op == OpKind::PageErase ? kErasedFirstPage : 0,
                .pageCount = c.op == OpKind::PageErase ? kErasedPageCount : 1};
    bench.ctx.baudRate = c.rate;
    std::thread canceller;
    if (c.fault == FaultCase::Cancel || c.fault == FaultCase::CancelInSilence)
        canceller = std::thread([&] {
            bench.sim.waitForProgramFrames(cancelFrames(c.op, c.rate) + (c.fault == FaultCase::Cancel ? 0 : 1));
            bench.ctx.cancelEvent.set();
        });
    const auto began = std::chrono::steady_clock::now();
    const OperationResult result = bench.run(c.op, args);
    const auto took = std::chrono::steady_clock::now() - began;
    if (canceller.joinable())
        canceller.join();

    EXPECT_EQ(result.outcome, expected.outcome) << result.message;
    EXPECT_EQ(bench.boxes.texts(), expected.boxes);
    // A node that hung up may name another device by now: the run must not take it.
    EXPECT_EQ(bench.ctx.port.isOpen(), result.outcome != Outcome::LineLost);
    EXPECT_LT(took, kCellBound);
    EXPECT_EQ(bench.ctx.busy, 0);
    const sim::FlashBytes after = bench.sim.sim().flash();
    const sim::FlashBytes success = flashAfterSuccess(c.op, args, 0, before);
    EXPECT_EQ(flashDamage(before, success, after), "");
    const bool leavesTarget =
        expected.outcome == Outcome::Success ||
        ((expected.outcome == Outcome::Mismatch || expected.outcome == Outcome::Cancelled) && c.op != OpKind::Dump);
    if (leavesTarget) {
        EXPECT_TRUE(bench.sim.waitForLastProgramFrame(kLeaveFrame)) << "no CmdLeaveIsp at the end";
    }
    // No CmdLeaveIsp after a time-out or onto a lost line; a cancelled dump leaves the target in ISP.
    const std::vector<std::string> frames = bench.sim.programFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), leavesTarget ? 1 : 0);
    if (leavesTarget) {
        EXPECT_EQ(frames.back(), kLeaveFrame);
    }
    const std::string dumped = fileText(bench.folder() + "/Dump.bin");
    if (expected.outcome == Outcome::Success) {
        if (c.op != OpKind::Dump) {
            EXPECT_TRUE(std::ranges::any_of(bench.view.lines(), isElapsedLine)) << "no elapsed-time line";
        }
        EXPECT_TRUE(after == success) << "flash does not hold the result";
        if (c.op == OpKind::Dump) {
            std::string page(after.begin(), after.begin() + sim::kPageSize);
            if (c.fault == FaultCase::CorruptReply)
                page[kCorruptedAddress] ^= 0x01; // the wire carries no check of read data
            EXPECT_EQ(dumped, page);
        }
        return;
    }
    checkNoSuccessLine(c.op, bench.view.lines());
    EXPECT_EQ(dumped, "") << "a failed dump wrote its file";
}

// Only the cells whose operation has the step the fault needs.
std::vector<Cell> applyingCells()
{
    std::vector<Cell> cells;
    for (OpKind op : kAllOps)
        for (int fault = 0; fault <= static_cast<int>(kLastFault); ++fault)
            for (std::uint32_t rate : kRates)
                if (const Cell cell{op, static_cast<FaultCase>(fault), rate}; faultsFor(cell))
                    cells.push_back(cell);
    return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(applyingCells()), [](const auto& cell) {
    return std::string(opName(cell.param.op)) + "_" + faultName(cell.param.fault) + "_" +
           std::to_string(cell.param.rate);
});

// Cancel pressed while the chip erases: the erase runs to its status reply, and the run ends
// before the first program block, so CmdLeaveIsp never reaches a chip that is still erasing.
TEST(AutoCancel, DuringTheEraseTakesEffectBeforeTheFirstBlock)
{
    EngineBench bench(SimHarness::withFaults({{Kind::EraseBusy, 200}}));
    const std::size_t eraseStartFrame = 2 + 8 + 2;
    std::thread canceller([&] {
        bench.sim.waitForProgramFrames(eraseStartFrame);
        bench.ctx.cancelEvent.set();
    });
    const OperationResult result = bench.run(OpKind::Auto, {.image = patternImage(0x100)});
    canceller.join();

    EXPECT_EQ(result.outcome, Outcome::Cancelled) << result.message;
    ASSERT_TRUE(bench.sim.waitForLastProgramFrame(kLeaveFrame));
    const std::vector<std::string> frames = bench.sim.programFrames();
    ASSERT_EQ(frames.size(), eraseStartFrame + 2) << ::testing::PrintToString(frames);
    EXPECT_EQ(frames[eraseStartFrame], kChipEraseFrames[2]);
    EXPECT_EQ(frames.back(), kLeaveFrame);
    EXPECT_EQ(bench.sim.replies().size(), eraseStartFrame + 1) << "the erase status was not awaited";
}

} // namespace
} // namespace pw::test
