#include "sim/SimFixture.h"
#include "support/Tables.h"

namespace pw::test {
namespace {

const std::string kHandshakeAck = "0F 82 20 FF FF FF FF";

// Bytes from a line at the wrong rate must never be understood.
TEST(LineRate, WrongRateWithoutRateCommandIsNoise)
{
    SimFixture f;
    f.line->setRate(57600);
    EXPECT_EQ(f.unanswered(kConnectFrame + " " + kConnectFrame), "");
    EXPECT_GT(f.harness.sim().counters().noiseBytesIn, 0u);
    EXPECT_FALSE(f.harness.sim().connected());
    f.line->setRate(9600);
    f.connect();
}

struct RateCase {
    const char* name;
    std::uint32_t rate;
};
using pw::test::PrintTo;

class RateSwitch : public ::testing::TestWithParam<RateCase> {};

// After the rate command the target hears only the new rate; CmdLeaveIsp and the reset
// button take it back to 9600, waiting for a connect.
TEST_P(RateSwitch, FollowsTheCommandUntilLeaveOrReset)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(*rateFrame(GetParam().rate)), "");
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "") << "understood at the old rate";
    f.reopen(GetParam().rate);
    EXPECT_EQ(f.exchange(kHandshakeFrame), kHandshakeAck);
    EXPECT_EQ(f.unanswered(kLeaveFrame), "");
    EXPECT_EQ(f.harness.sim().expectedRate(), 9600u);
    f.reopen(9600);
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "") << "still connected after CmdLeaveIsp";
    f.connect();
    EXPECT_EQ(f.unanswered(*rateFrame(GetParam().rate)), "");
    f.harness.sim().reset();
    EXPECT_EQ(f.harness.sim().expectedRate(), 9600u);
    f.connect();
}

INSTANTIATE_TEST_SUITE_P(Rates, RateSwitch, ::testing::Values(RateCase{"to_57600", 57600}, RateCase{"to_115200", 115200}),
                         rowName);

TEST(LineRate, ReplyWrittenWhileTheRatesDifferArrivesGarbled)
{
    SimFixture f(SimHarness::withFaults({{sim::Fault::Kind::Slow, 300}}));
    f.line->send(bytesOf(kConnectFrame));
    ASSERT_TRUE(f.harness.waitForProgramFrames(1));
    f.line->setRate(115200); // changes before the delayed reply goes out
    const std::vector<std::uint8_t> got = f.line->receive(7, kReplyWait);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_EQ(std::count(got.begin(), got.end(), 0x0F), 0);
}

// Loose lower bound only: 8 + 7 bytes at 9600 need at least 15 ms on a real line, and the
// reply, written whole, is not early. Each reply followed by a frame is one turnaround sample.
TEST(LineRate, PacedExchangeTakesAtLeastTheWireTimeAndIsMeasured)
{
    SimFixture f(sim::SimOptions{});
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(f.exchange(kConnectFrame), kConnectReply);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(14));
    ASSERT_EQ(f.exchange(kConnectFrame), kConnectReply);
    EXPECT_EQ(f.harness.sim().stats().exchanges, 1u);
    const std::vector<sim::FrameLogEntry> log = f.harness.sim().frames();
    ASSERT_GE(log.size(), 2u);
    EXPECT_GE(log[1].us - log[0].us, 7 * 10'000'000 / 9600 - 1000) << "the reply left before its bytes' wire time";
}

} // namespace
} // namespace pw::test
