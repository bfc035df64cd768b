// Link control and the opening of a connection against the simulated boot loader on a pty.
#include "protocol/LinkControl.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <thread>

using namespace std::chrono_literals;
using pw::ReplyWait;
using pw::WaitResult;
using pw::sim::Fault;
using pw::test::SimHarness;

namespace {

void shortenPauses(pw::IspContext& ctx)
{
    for (pw::Millis* pause : {&ctx.timings.openLinkPause, &ctx.timings.closePortPause, &ctx.timings.baudSwitchPause,
                              &ctx.timings.afterSwitchPause, &ctx.timings.reopenClosePause, &ctx.timings.reopenPause})
        *pause = 5ms;
}

struct Link {
    explicit Link(SimHarness& target) : matcher(ctx, pw::MatcherVariant::Panel)
    {
        shortenPauses(ctx);
        target.mapInto(ctx);
        ctx.portOwner = &matcher;
        pw::OpenLink(ctx, matcher, matcher);
    }
    // The port outlives the matcher it delivers to, so it is closed before the matcher goes.
    ~Link() { ctx.port.Close(); }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    pw::test::RecordingBoxes boxes;
    pw::IspContext ctx{boxes};
    pw::ResponseMatcher matcher;
};

TEST(LinkControl, ConnectsAndShakesHandsAt9600WithTheExactFrames)
{
    SimHarness target;
    Link link(target);
    EXPECT_EQ(link.ctx.portOpen, 1);
    EXPECT_EQ(pw::ConnectToTarget(link.ctx, ReplyWait::Short), WaitResult::Answered);
    EXPECT_EQ(target.programFrames(), (std::vector<std::string>{"0F 48 5A 34 31 43 31 FF", "0F 02 20 02 02 02 FF"}));
    EXPECT_TRUE(link.boxes.texts().empty());
}

struct SwitchCase {
    std::uint32_t rate;
    const char* frame; // empty: nothing is sent at 9600
};

class BaudSwitch : public testing::TestWithParam<SwitchCase> {};

TEST_P(BaudSwitch, SendsTheRateCommandReopensAtTheRateAndKeepsTalking)
{
    SimHarness target;
    Link link(target);
    link.ctx.baudRate = GetParam().rate;
    ASSERT_EQ(pw::ConnectToTarget(link.ctx, ReplyWait::Short), WaitResult::Answered);
    pw::SwitchBaud(link.ctx);
    EXPECT_EQ(link.ctx.port.baud(), GetParam().rate);
    EXPECT_EQ(pw::SendAndWait(link.ctx, pw::ResponseKind::AnyFrame, pw::CmdSetAddrHigh(0x12), ReplyWait::Short),
              WaitResult::Answered);
    auto frames = target.programFrames();
    ASSERT_EQ(frames.size(), std::string(GetParam().frame).empty() ? 3u : 4u);
    if (frames.size() == 4) {
        EXPECT_EQ(frames[2], GetParam().frame);
    }
    EXPECT_EQ(frames.back(), "0F 0E 00 12 12 12 FF");
    // The target reads the line rate off its own end of the pty: nothing went over at a wrong one.
    const pw::sim::SimCounters counters = target.sim().counters();
    EXPECT_EQ(target.sim().expectedRate(), GetParam().rate);
    EXPECT_EQ(counters.noiseBytesIn, 0u);
    EXPECT_EQ(counters.garbledBytesOut, 0u);

    pw::ReopenAtBaseBaud(link.ctx);
    EXPECT_EQ(link.ctx.port.baud(), 9600u);
}

INSTANTIATE_TEST_SUITE_P(Rates, BaudSwitch,
                         testing::Values(SwitchCase{9600, ""}, SwitchCase{57600, "0F 0E 02 8C 8C 8C FF"},
                                         SwitchCase{115200, "0F 0E 02 CC CC CC FF"}));

TEST(LinkControl, ATargetThatIgnoresTheSwitchLetsTheNextBoundedWaitTimeOut)
{
    SimHarness target(SimHarness::withFaults({{Fault::Kind::NoBaudSwitch, 0}}));
    Link link(target);
    link.ctx.baudRate = 115200;
    ASSERT_EQ(pw::ConnectToTarget(link.ctx, ReplyWait::Short), WaitResult::Answered);
    pw::SwitchBaud(link.ctx);
    EXPECT_EQ(pw::SendAndWait(link.ctx, pw::ResponseKind::MaskAck, pw::CmdSetKeepMask(0, 0), ReplyWait::Short),
              WaitResult::TimedOut);
}

TEST(LinkControl, SilentTargetTimesOutAtConnectAndWrongConnectReplyShowsTheBox)
{
    SimHarness silent(SimHarness::withFaults({{Fault::Kind::SilentAfter, 0}}));
    Link quiet(silent);
    EXPECT_EQ(pw::ConnectToTarget(quiet.ctx, ReplyWait::Short), WaitResult::TimedOut);

    SimHarness wrong(SimHarness::withFaults({{Fault::Kind::WrongConnect, 0}}));
    Link confused(wrong);
    EXPECT_EQ(pw::ConnectToTarget(confused.ctx, ReplyWait::Short), WaitResult::TimedOut);
    EXPECT_EQ(confused.boxes.texts(), std::vector<std::string>{"Please reset MCU and try again!"});
}

TEST(LinkControl, CancelEndsAWaitAtOnce)
{
    SimHarness silent(SimHarness::withFaults({{Fault::Kind::SilentAfter, 0}}));
    Link link(silent);
    link.ctx.timings.unboundedReply = 60s;
    std::thread canceller([&] {
        silent.waitForProgramFrames(1);
        link.ctx.cancelEvent.set();
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(pw::SendAndWait(link.ctx, pw::ResponseKind::ConnectAck, pw::CmdConnect(), ReplyWait::Unbounded),
              WaitResult::Cancelled);
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
}

struct WaitCase {
    const char* name;
    bool silentTarget;
    std::optional<pw::ResponseKind> kind; // empty: the announced kind is kept
    ReplyWait wait;
    WaitResult result;
};

class SendAndWaitCase : public testing::TestWithParam<WaitCase> {};

TEST_P(SendAndWaitCase, EndsWithTheReplyOrItsBoundedTimeOut)
{
    SimHarness target(GetParam().silentTarget ? SimHarness::withFaults({{Fault::Kind::SilentAfter, 0}})
                                              : SimHarness::unpaced());
    Link link(target);
    link.ctx.timings.unboundedReply = 2s; // a target that never answers must not hold the wait for ever
    link.ctx.expectedReply = pw::ResponseKind::ConnectAck;
    EXPECT_EQ(pw::SendAndWait(link.ctx, GetParam().kind, pw::CmdConnect(), GetParam().wait), GetParam().result);
    EXPECT_EQ(link.ctx.expectedReply.load(), GetParam().kind.value_or(pw::ResponseKind::ConnectAck));
}

INSTANTIATE_TEST_SUITE_P(
    Table, SendAndWaitCase,
    testing::Values(WaitCase{"Answered", false, pw::ResponseKind::ConnectAck, ReplyWait::Short, WaitResult::Answered},
                    WaitCase{"KeptKindAnswered", false, std::nullopt, ReplyWait::Long, WaitResult::Answered},
                    WaitCase{"WrongKindTimesOut", false, pw::ResponseKind::WriteAck, ReplyWait::Short,
                             WaitResult::TimedOut},
                    WaitCase{"SilentShort", true, pw::ResponseKind::ConnectAck, ReplyWait::Short,
                             WaitResult::TimedOut},
                    WaitCase{"SilentUnboundedStillEnds", true, std::nullopt, ReplyWait::Unbounded,
                             WaitResult::TimedOut}),
    [](const testing::TestParamInfo<WaitCase>& row) { return std::string(row.param.name); });

TEST(LinkControl, APacketOnAClosedPortRunsIntoTheTimeOut)
{
    pw::test::RecordingBoxes boxes;
    pw::IspContext ctx(boxes);
    EXPECT_EQ(pw::SendAndWait(ctx, pw::ResponseKind::ConnectAck, pw::CmdConnect(), ReplyWait::Short),
              WaitResult::TimedOut);
}

TEST(LinkControl, ClosePortBeforeAnyOpenReturnsFalse)
{
    pw::test::RecordingBoxes boxes;
    pw::IspContext ctx(boxes);
    EXPECT_FALSE(pw::ClosePort(ctx));
}

} // namespace
