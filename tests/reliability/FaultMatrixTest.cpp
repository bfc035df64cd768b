// Every operation against every target misbehaviour at both ends of the rate range. Each cell
// checks what the user is told, that nothing reads like success after a failure, the frames
// the target saw, the flash afterwards and that the run ended in bounded time.
#include "OpKinds.h"

#include "ops/OperationTexts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>

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
};
constexpr FaultCase kAllFaults[] = {FaultCase::SilentConnect, FaultCase::SilentHandshake, FaultCase::SilentMask,
                                    FaultCase::SilentWalk,    FaultCase::WrongConnect,    FaultCase::CorruptReply,
                                    FaultCase::SlowReplies,   FaultCase::HangupMidRun,    FaultCase::NoRateSwitch,
                                    FaultCase::EraseBusy};
constexpr std::uint32_t kRates[] = {9600, 115200};

const char* faultName(FaultCase fault)
{
    constexpr const char* names[] = {"SilentConnect", "SilentHandshake", "SilentMask",   "SilentWalk",   "WrongConnect",
                                     "CorruptReply",  "SlowReplies",     "HangupMidRun", "NoRateSwitch", "EraseBusy"};
    return names[static_cast<int>(fault)];
}

constexpr std::size_t kImageLength = 0x800;
constexpr std::size_t kSlowImageLength = 0x20; // every reply late: keep the exchange count low
constexpr std::uint32_t kSlowMs = 60;           // far below the shortest reply time-out
constexpr std::uint32_t kEraseBusyMs = 1500;    // beyond every erase status wait
constexpr std::uint32_t kCorruptedAddress = 0x50; // the 11th read of a reading walk
const auto kCellBound = std::chrono::seconds(30);
const char* const kResetBox = "Please reset MCU and try again!";
const char* const kHungUpBox = "WARNING:  read() Failed with the following error: \nthe device hung up\nPort: 1\n";

struct Cell {
    OpKind op;
    FaultCase fault;
    std::uint32_t rate;
};

// Frames the target answers before it falls silent or hangs up in the middle of the work.
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

// The reply (counted from 1; the rate command has none) whose byte 3 arrives flipped.
std::uint32_t corruptedReply(OpKind op)
{
    constexpr std::uint32_t readIndex = kCorruptedAddress / 8;
    switch (op) {
    case OpKind::Program: return 2 + 8 + 1 + 10;                       // a write echo
    case OpKind::Verify:
    case OpKind::Dump: return 2 + 1 + readIndex + 1;                   // first data byte of a read
    case OpKind::EraseAll: return 2 + 8 + 3;                           // the erase status
    case OpKind::PageErase: return 2 + 8 + 4;                          // the first page's status
    case OpKind::Auto:
        return 2 + 8 + 3 + (kImageLength / 0x100 + kImageLength / 8) + 1 + readIndex + 1;
    }
    return 0;
}

// The target's misbehaviour for a cell; nothing when the cell makes no sense.
std::optional<std::vector<sim::Fault>> faultsFor(const Cell& c)
{
    const bool hasMasks = maskFrameCount(c.op) > 0;
    const bool erases = c.op == OpKind::EraseAll || c.op == OpKind::PageErase || c.op == OpKind::Auto;
    switch (c.fault) {
    case FaultCase::SilentConnect: return {{{Kind::SilentAfter, 0}}};
    case FaultCase::SilentHandshake: return {{{Kind::SilentAfter, 1}}};
    case FaultCase::SilentMask:
        if (!hasMasks)
            return std::nullopt;
        return {{{Kind::SilentAfter, framesBeforeMasks(c.op, c.rate) + 2}}}; // silent at the third
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
    }
    return std::nullopt;
}

struct Expected {
    Outcome outcome;
    std::vector<std::string> boxes; // exactly these, in order
};

const Expected kTimesOut{Outcome::TimedOut, {kTimeoutText}};
const Expected kSucceeds{Outcome::Success, {}};

// The line went away: the monitor reports it once, naming the device, and the run ends at
// once; the reopen at its end finds the device gone and does not say so again.
Expected hungUp(const std::string& device)
{
    return {Outcome::LineLost, {kHungUpBox + ("Device: " + device + "\n")}};
}

Expected expectedFor(const Cell& c, const std::string& device)
{
    switch (c.fault) {
    case FaultCase::HangupMidRun: return hungUp(device);
    case FaultCase::WrongConnect: return {Outcome::TimedOut, {kResetBox, kTimeoutText}};
    case FaultCase::CorruptReply:
        // Only the first write echo is compared; read data has no check but the comparison.
        if (c.op == OpKind::Program || c.op == OpKind::Dump)
            return kSucceeds;
        if (c.op == OpKind::Verify || c.op == OpKind::Auto)
            return {Outcome::Mismatch, {verifyFailureText(kCorruptedAddress)}};
        return kTimesOut;
    case FaultCase::SlowReplies: return kSucceeds;
    case FaultCase::NoRateSwitch:
        return framesBeforeMasks(c.op, c.rate) > 2 ? kTimesOut : kSucceeds;
    default: return kTimesOut;
    }
}

std::size_t imageLengthFor(const Cell& c)
{
    return c.fault == FaultCase::SlowReplies ? kSlowImageLength : kImageLength;
}

// The matrix as it ran, printed once the tests of this process are done.
class MatrixReport : public ::testing::Environment {
public:
    static void note(const Cell& c, const std::string& mark)
    {
        std::lock_guard lock(mutex());
        marks()[{static_cast<int>(c.op), c.rate}][static_cast<int>(c.fault)] = mark;
    }
    void TearDown() override
    {
        std::lock_guard lock(mutex());
        if (marks().empty())
            return;
        std::printf("\nFault matrix (ok = expected outcome, n/a = no such step, FAIL = see above)\n%-18s", "");
        for (FaultCase f : kAllFaults)
            std::printf(" %-15s", faultName(f));
        std::printf("\n");
        for (const auto& [row, cells] : marks()) {
            char label[32];
            std::snprintf(label, sizeof label, "%s@%u", opName(static_cast<OpKind>(row.first)), row.second);
            std::printf("%-18s", label);
            for (FaultCase f : kAllFaults) {
                const auto found = cells.find(static_cast<int>(f));
                std::printf(" %-15s", found == cells.end() ? "-" : found->second.c_str());
            }
            std::printf("\n");
        }
    }

private:
    using Row = std::pair<int, std::uint32_t>;
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::map<Row, std::map<int, std::string>>& marks()
    {
        static std::map<Row, std::map<int, std::string>> m;
        return m;
    }
};

const auto* const kReport = ::testing::AddGlobalTestEnvironment(new MatrixReport);

bool isElapsedLine(const std::string& line)
{
    return line.find("elapsed time") != std::string::npos;
}

void checkSuccess(OpsBench& bench, const Cell& c, const OpRun& run)
{
    const std::vector<std::string> lines = bench.view.lines();
    if (c.op != OpKind::Dump) {
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), isElapsedLine)) << "no elapsed-time line";
    }
    EXPECT_TRUE(bench.waitForFrame(kLeaveFrame)) << "no CmdLeaveIsp after a completed run";
    const sim::FlashBytes after = bench.sim.sim().flash();
    EXPECT_TRUE(flashAsAfterSuccess(c.op, run, after)) << "flash does not hold the result";
    if (c.op != OpKind::Dump)
        return;
    ASSERT_EQ(run.dumped.size(), sim::kPageSize);
    std::vector<std::uint8_t> expected(after.begin(), after.begin() + sim::kPageSize);
    if (c.fault == FaultCase::CorruptReply)
        expected[kCorruptedAddress] ^= 0x01; // the wire carries no check of read data
    EXPECT_EQ(run.dumped, expected);
}

bool isBeginLine(const std::string& line)
{
    return line.rfind("Begin ", 0) == 0;
}

// A single operation logs no elapsed time after a failure; Auto keeps the times of the phases
// it completed, but each must be followed by the next phase's start and the last line is not one.
void checkNoSuccessLine(OpKind op, const std::vector<std::string>& lines)
{
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (!isElapsedLine(lines[k]))
            continue;
        const bool phaseFollows = op == OpKind::Auto && k + 1 < lines.size() && isBeginLine(lines[k + 1]);
        EXPECT_TRUE(phaseFollows) << "a failed run logged: " << lines[k];
    }
}

void checkFailure(OpsBench& bench, const Cell& c, const Expected& expected, const OpRun& run)
{
    checkNoSuccessLine(c.op, bench.view.lines());
    EXPECT_TRUE(run.dumped.empty()) << "a failed dump wrote its file";
    const std::vector<std::string> frames = bench.sim.programFrames();
    const auto leaves = std::count(frames.begin(), frames.end(), kLeaveFrame);
    if (expected.outcome == Outcome::TimedOut || expected.outcome == Outcome::LineLost)
        EXPECT_EQ(leaves, 0) << "CmdLeaveIsp after a time-out or onto a lost line";
    else
        EXPECT_TRUE(bench.waitForFrame(kLeaveFrame)) << "no CmdLeaveIsp after a failed run";
}

class FaultMatrix : public ::testing::TestWithParam<Cell> {};

TEST_P(FaultMatrix, OutcomeTextsFramesAndFlash)
{
    const Cell& c = GetParam();
    const std::optional<std::vector<sim::Fault>> faults = faultsFor(c);
    if (!faults) {
        MatrixReport::note(c, "n/a");
        GTEST_SKIP() << "the operation has no such step";
    }
    OpsBench bench(SimHarness::withFaults(*faults));
    const Expected expected = expectedFor(c, bench.sim.slavePath());
    const OpRun run = runOp(bench, c.op, c.rate, imageLengthFor(c));

    EXPECT_EQ(run.result.outcome, expected.outcome) << run.result.message;
    EXPECT_EQ(bench.boxes.texts(), expected.boxes);
    EXPECT_LT(run.took, kCellBound) << "the run took " << run.took.count() << " ms";
    EXPECT_EQ(bench.ctx.busy, 0);
    EXPECT_EQ(flashDamage(c.op, run, bench.sim.sim().flash()), "");
    if (expected.outcome == Outcome::Success)
        checkSuccess(bench, c, run);
    else
        checkFailure(bench, c, expected, run);

    char mark[24];
    std::snprintf(mark, sizeof mark, "%s %.1fs", HasFailure() ? "FAIL" : "ok", run.took.count() / 1000.0);
    MatrixReport::note(c, mark);
}

std::vector<Cell> allCells()
{
    std::vector<Cell> cells;
    for (OpKind op : kAllOps)
        for (FaultCase fault : kAllFaults)
            for (std::uint32_t rate : kRates)
                cells.push_back({op, fault, rate});
    return cells;
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix, ::testing::ValuesIn(allCells()), [](const auto& cell) {
    return std::string(opName(cell.param.op)) + "_" + faultName(cell.param.fault) + "_" +
           std::to_string(cell.param.rate);
});

} // namespace
} // namespace pw::test
