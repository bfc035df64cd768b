#include "sim/SimFixture.h"
#include "support/Tables.h"

namespace pw::test {
namespace {

const std::string kHandshakeAck = "0F 82 20 FF FF FF FF";
const std::string kTo57600 = *rateFrame(57600);
const std::string kTo115200 = *rateFrame(115200);

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
    std::string command;
    std::uint32_t rate;
};

class RateSwitch : public ::testing::TestWithParam<RateCase> {};

TEST_P(RateSwitch, FollowsTheReopenedLine)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(GetParam().command), "");
    EXPECT_EQ(f.harness.sim().expectedRate(), GetParam().rate);
    f.reopen(GetParam().rate);
    EXPECT_EQ(f.exchange(kHandshakeFrame), kHandshakeAck);
}

TEST_P(RateSwitch, RepliesToALineLeftAtTheOldRateAreGarbled)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(GetParam().command), "");
    // Sent at 9600 while 'the chip' listens at the new rate: never understood.
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
    EXPECT_TRUE(f.harness.sim().connected());
}

INSTANTIATE_TEST_SUITE_P(Rates, RateSwitch,
                         ::testing::Values(RateCase{"To57600", kTo57600, 57600}, RateCase{"To115200", kTo115200, 115200}),
                         rowName);

TEST(LineRate, ReplyWrittenWhileTheRatesDifferArrivesGarbled)
{
    SimFixture f(SimHarness::withFaults({{sim::Fault::Kind::Slow, 300}}));
    f.line->send(bytesOf(kConnectFrame));
    ASSERT_TRUE(f.harness.waitForProgramFrames(1));
    f.line->setRate(115200); // changes before the delayed reply goes out
    const std::vector<std::uint8_t> got = f.line->receive(7, kReplyWait);
    ASSERT_EQ(got.size(), 7u);
    EXPECT_NE(hexBytesOf(got), kConnectReply);
    EXPECT_EQ(std::count(got.begin(), got.end(), 0x0F), 0);
}

TEST(LineRate, LeaveReturnsToBaseRateAndWaitsForConnect)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(kTo115200), "");
    f.reopen(115200);
    EXPECT_EQ(f.unanswered(kLeaveFrame), "");
    EXPECT_EQ(f.harness.sim().expectedRate(), 9600u);
    EXPECT_FALSE(f.harness.sim().connected());
    f.reopen(9600);
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
    f.connect();
}

TEST(LineRate, ResetButtonReturnsToBaseRate)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(kTo57600), "");
    f.harness.sim().reset();
    EXPECT_EQ(f.harness.sim().expectedRate(), 9600u);
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
    f.connect();
}

// Loose lower bound only: 8 + 7 bytes at 9600 need at least 15 ms on a real line, and the
// reply, written whole, is not early. Each reply followed by a frame is one turnaround sample.
TEST(LineRate, PacedExchangeTakesAtLeastTheWireTimeAndIsMeasured)
{
    sim::SimOptions options;
    SimFixture f(options);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(f.exchange(kConnectFrame), kConnectReply);
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(14));
    ASSERT_EQ(f.exchange(kConnectFrame), kConnectReply);
    const sim::SimStats stats = f.harness.sim().stats();
    EXPECT_EQ(stats.exchanges, 1u);
    EXPECT_GE(stats.turnaround.p50, 0);
    EXPECT_GE(stats.pacingError.p50, 0);
    const std::vector<sim::FrameLogEntry> log = f.harness.sim().frames();
    ASSERT_GE(log.size(), 2u);
    EXPECT_GE(log[1].us - log[0].us, 7 * 10'000'000 / 9600 - 1000) << "the reply left before its bytes' wire time";
}

} // namespace
} // namespace pw::test
