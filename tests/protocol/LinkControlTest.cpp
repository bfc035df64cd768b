// Link control and the opening of a connection against the simulated boot loader on a pty.
#include "protocol/LinkControl.h"
#include "support/RecordingBoxes.h"
#include "support/ShortPauses.h"
#include "support/SimHarness.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace std::chrono_literals;
using pw::ReplyWait;
using pw::WaitResult;
using pw::sim::Fault;
using pw::test::SimHarness;

namespace {

struct Link {
    explicit Link(SimHarness& target) : matcher(ctx, pw::MatcherVariant::Panel)
    {
        pw::test::shortenPauses(ctx.timings);
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

struct SwitchCase {
    const char* name;
    std::uint32_t rate;
    const char* frame; // empty: nothing is sent at 9600
};
using pw::test::PrintTo;

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
                         testing::Values(SwitchCase{"stays_9600", 9600, ""},
                                         SwitchCase{"to_57600", 57600, "0F 0E 02 8C 8C 8C FF"},
                                         SwitchCase{"to_115200", 115200, "0F 0E 02 CC CC CC FF"}),
                         pw::test::rowName);

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
    pw::test::rowName);

// Nothing can answer a packet that never left: the wait still ends.
TEST(LinkControl, APacketOnAClosedPortRunsIntoTheTimeOut)
{
    pw::test::RecordingBoxes boxes;
    pw::IspContext ctx(boxes);
    EXPECT_EQ(pw::SendAndWait(ctx, pw::ResponseKind::ConnectAck, pw::CmdConnect(), ReplyWait::Short),
              WaitResult::TimedOut);
}

} // namespace
