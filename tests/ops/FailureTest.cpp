#include "OpsBench.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;
using Worker = std::function<OperationResult(OpsBench&)>;

const char* const kTimeoutBox = "Wait COM port timeout, pls check MCU and COM port status!";

Worker programOf(std::size_t length)
{
    return [length](OpsBench& b) {
        const std::string path = b.imageFile(patternImage(length));
        return ProgramThread(b.ctx, b.view, path);
    };
}

Worker verifyOf(std::size_t length)
{
    return [length](OpsBench& b) {
        const std::string path = b.imageFile(std::vector<std::uint8_t>(length, 0xFF));
        return VerifyThread(b.ctx, b.view, path);
    };
}

Worker autoOf(std::size_t length)
{
    return [length](OpsBench& b) {
        const std::string path = b.imageFile(patternImage(length));
        return AutoThread(b.ctx, b.view, path);
    };
}

const Worker kEraseAll = [](OpsBench& b) { return EraseAllThread(b.ctx, b.view); };
const Worker kPageErase = [](OpsBench& b) { return PageEraseThread(b.ctx, b.view, 4, 16); };
const Worker kDump = [](OpsBench& b) { return DumpWorker(b.ctx, b.view, {0, 8, false, b.folder()}); };

struct TimeoutCase {
    const char* name;
    Worker work;
    sim::Fault fault;
};

class EndsByTimeout : public ::testing::TestWithParam<TimeoutCase> {};

// A target that stops answering, at a bounded or a formerly unbounded step, ends the run with
// the box and without CmdLeaveIsp, and the port is back at the base rate.
TEST_P(EndsByTimeout, BoxAndNoLeave)
{
    const TimeoutCase& c = GetParam();
    OpsBench bench(SimHarness::withFaults({c.fault}));
    const OperationResult result = bench.run([&] { return c.work(bench); });

    EXPECT_EQ(result.outcome, Outcome::TimedOut) << result.message;
    const std::vector<std::string> boxes = bench.boxes.texts();
    EXPECT_NE(std::find(boxes.begin(), boxes.end(), kTimeoutBox), boxes.end());
    const std::vector<std::string> frames = bench.sim.programFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), 0) << "CmdLeaveIsp after a time-out";
    for (const std::string& line : bench.view.lines())
        EXPECT_EQ(line.find("elapsed"), std::string::npos) << "a timed-out run logged " << line;
    EXPECT_EQ(bench.ctx.busy, 0);
    EXPECT_TRUE(bench.ctx.port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, EndsByTimeout,
    ::testing::Values(TimeoutCase{"program_connect", programOf(0x100), {Kind::SilentAfter, 0}},
                      TimeoutCase{"program_handshake", programOf(0x100), {Kind::SilentAfter, 1}},
                      TimeoutCase{"program_mask", programOf(0x100), {Kind::SilentAfter, 4}},
                      TimeoutCase{"program_mid_write", programOf(0x400), {Kind::SilentAfter, 30}},
                      TimeoutCase{"verify_handshake", verifyOf(0x100), {Kind::SilentAfter, 1}},
                      TimeoutCase{"verify_mid_read", verifyOf(0x400), {Kind::SilentAfter, 20}},
                      TimeoutCase{"erase_all_status", kEraseAll, {Kind::SilentAfter, 12}},
                      TimeoutCase{"page_erase_set_address", kPageErase, {Kind::SilentAfter, 14}},
                      TimeoutCase{"auto_handshake", autoOf(0x100), {Kind::SilentAfter, 1}},
                      TimeoutCase{"auto_chip_erase", autoOf(0x100), {Kind::SilentAfter, 10}},
                      TimeoutCase{"dump_connect", kDump, {Kind::SilentAfter, 0}},
                      TimeoutCase{"dump_mid_read", kDump, {Kind::SilentAfter, 10}}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct HangUpCase {
    const char* name;
    Worker work;
    std::uint32_t afterFrames;
};

class EndsByHangUp : public ::testing::TestWithParam<HangUpCase> {};

// The device goes away mid-run: the waiting worker wakes at once (not after the 3 s bound of
// the reply wait), the user gets the port's one report naming the device, and no time-out
// box or second "not found" follows when the ending tries to reopen it.
TEST_P(EndsByHangUp, OneReportNamingTheDevice)
{
    const HangUpCase& c = GetParam();
    OpsBench bench(SimHarness::withFaults({{Kind::HangupAfter, c.afterFrames}}));
    const OperationResult result = bench.run([&] { return c.work(bench); });

    EXPECT_EQ(result.outcome, Outcome::LineLost) << result.message;
    const std::vector<std::string> boxes = bench.boxes.texts();
    ASSERT_EQ(boxes.size(), 1u) << ::testing::PrintToString(boxes);
    EXPECT_EQ(boxes[0].rfind("WARNING:  read() Failed", 0), 0u) << boxes[0];
    EXPECT_NE(boxes[0].find("Device: " + bench.sim.slavePath() + "\n"), std::string::npos) << boxes[0];
    EXPECT_LT(result.seconds, std::chrono::duration<double>(bench.ctx.timings.unboundedReply).count());
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, EndsByHangUp,
                         ::testing::Values(HangUpCase{"program_mid_write", programOf(0x400), 30},
                                           HangUpCase{"page_erase_mid_page", kPageErase, 16},
                                           HangUpCase{"dump_mid_read", kDump, 10}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct CancelCase {
    const char* name;
    Worker work;
    std::size_t framesBeforeCancel;
    bool silent;        // the target stops answering first: Cancel must wake the reply wait
    bool leaves = true; // a cancelled dump leaves the target in ISP mode
};

class EndsByCancel : public ::testing::TestWithParam<CancelCase> {};

// Cancel ends the run as failed: no box, no line that reads like success, and CmdLeaveIsp as
// the last frame, except after a dump, which sends it only after its last read.
TEST_P(EndsByCancel, LeavesWithoutBoxOrSuccessLine)
{
    const CancelCase& c = GetParam();
    const sim::Fault fault = c.silent ? sim::Fault{Kind::SilentAfter, static_cast<std::uint32_t>(c.framesBeforeCancel)}
                                      : sim::Fault{Kind::Slow, 2};
    OpsBench bench(SimHarness::withFaults({fault}));
    std::thread canceller([&] {
        bench.sim.waitForProgramFrames(c.framesBeforeCancel + (c.silent ? 1 : 0));
        bench.ctx.cancelEvent.set();
    });
    bench.ctx.busy = 1;
    const OperationResult result = c.work(bench);
    canceller.join();

    EXPECT_EQ(result.outcome, Outcome::Cancelled) << result.message;
    EXPECT_TRUE(bench.boxes.texts().empty()) << bench.boxes.texts().front();
    if (c.leaves) {
        EXPECT_TRUE(bench.waitForFrame(kLeaveFrame)) << "no CmdLeaveIsp after Cancel";
        EXPECT_EQ(bench.sim.programFrames().back(), kLeaveFrame);
    } else {
        const std::vector<std::string> frames = bench.framesBeforeMarker();
        EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), 0) << "CmdLeaveIsp after a cancelled dump";
    }
    for (const std::string& line : bench.view.lines())
        EXPECT_EQ(line.find("elapsed"), std::string::npos) << "a cancelled run logged " << line;
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, EndsByCancel,
    ::testing::Values(CancelCase{"program_between_blocks", programOf(0x2000), 40, false},
                      CancelCase{"program_in_wait", programOf(0x2000), 40, true},
                      CancelCase{"verify_between_blocks", verifyOf(0x2000), 40, false},
                      CancelCase{"verify_in_wait", verifyOf(0x2000), 40, true},
                      CancelCase{"auto_in_mask_wait", autoOf(0x100), 4, true},
                      CancelCase{"page_erase_in_mask_wait", kPageErase, 4, true},
                      CancelCase{"dump_between_reads", [](OpsBench& b) {
                                     return DumpWorker(b.ctx, b.view, {0, 64, false, b.folder()});
                                 }, 40, false, false}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// Cancel pressed while the chip erases: the erase runs to its status reply, and the run ends
// before the first program block, so CmdLeaveIsp never reaches a chip that is still erasing.
TEST(AutoCancel, DuringTheEraseTakesEffectBeforeTheFirstBlock)
{
    OpsBench bench(SimHarness::withFaults({{Kind::EraseBusy, 200}}));
    const std::size_t eraseStartFrame = 2 + 8 + 2;
    std::thread canceller([&] {
        bench.sim.waitForProgramFrames(eraseStartFrame);
        bench.ctx.cancelEvent.set();
    });
    const OperationResult result = bench.run([&] { return autoOf(0x100)(bench); });
    canceller.join();

    EXPECT_EQ(result.outcome, Outcome::Cancelled) << result.message;
    const std::vector<std::string> frames = bench.sim.programFrames();
    ASSERT_EQ(frames.size(), eraseStartFrame + 2) << ::testing::PrintToString(frames);
    EXPECT_EQ(frames[eraseStartFrame], kChipEraseFrames[2]);
    EXPECT_EQ(frames.back(), kLeaveFrame);
    EXPECT_EQ(bench.sim.replies().size(), eraseStartFrame + 1) << "the erase status was not awaited";
}

} // namespace
} // namespace pw::test
