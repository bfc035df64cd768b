#include "sim/SimFixture.h"
#include "support/Tables.h"

namespace pw::test {
namespace {

struct ReplyCase {
    const char* name;
    const char* frame;
    const char* reply; // "" when nothing may come back
    std::size_t length = 7;
};
using pw::test::PrintTo;

class FrameReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(FrameReplies, AnswersAConnectedProgramExactly)
{
    SimFixture f;
    ASSERT_TRUE(f.harness.started());
    f.connect();
    const ReplyCase& c = GetParam();
    if (*c.reply == '\0')
        EXPECT_EQ(f.unanswered(c.frame), "");
    else
        EXPECT_EQ(f.exchange(c.frame, c.length), c.reply);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Frames, FrameReplies, ::testing::Values(
    ReplyCase{"Connect", "0F 48 5A 34 31 43 31 FF", "0F 80 00 00 00 00 FF"},
    ReplyCase{"Handshake", "0F 02 20 02 02 02 FF", "0F 82 20 FF FF FF FF"},
    ReplyCase{"SetAddrHigh", "0F 0E 00 12 12 12 FF", "0F 8E 00 12 12 12 FF"},
    ReplyCase{"KeepLane0", "0F 0E 03 07 07 07 FF", "0F 8E 03 07 07 07 FF"},
    ReplyCase{"EraseLane0", "0F 0E 04 F8 F8 F8 FF", "0F 8E 04 F8 F8 F8 FF"},
    ReplyCase{"ChipEraseMode", "0F 0E 01 80 80 80 FF", "0F 8E 01 80 80 80 FF"},
    ReplyCase{"PageEraseMode", "0F 0E 01 82 82 82 FF", "0F 8E 01 82 82 82 FF"},
    ReplyCase{"EraseStart", "0F 0A 00 00 00 00 FF", "0F 8A 00 00 00 00 FF"},
    ReplyCase{"EraseStatus", "0F 00 00 00 00 00 FF", "0F 80 00 00 00 00 FF"},
    ReplyCase{"Write8", "0F 09 00 00 00 00 00 00 00 00 00 FF", "0F 89 00 00 00 00 FF"},
    ReplyCase{"Read8Erased", "0F 0D 38 00 00 00 FF", "0F 8D 38 FF FF FF FF FF FF FF FF FF", 12},
    ReplyCase{"RateCommandIsSilent", "0F 0E 02 8C 8C 8C FF", ""},
    ReplyCase{"LeaveIsSilent", "0F 0E 01 01 01 FF", ""},
    ReplyCase{"WrongFamilyLetters", "0F 48 5A 34 31 43 32 FF", ""},
    ReplyCase{"WrongHandshake", "0F 02 20 02 02 03 FF", ""},
    ReplyCase{"UnequalRegisterCopies", "0F 0E 00 12 12 13 FF", ""},
    ReplyCase{"UnknownMode", "0F 0E 01 81 81 81 FF", ""},
    ReplyCase{"UnknownRegister", "0F 0E 0B 00 00 00 FF", ""},
    ReplyCase{"ReadWithParameters", "0F 0D 38 00 01 00 FF", ""},
    ReplyCase{"NoEndByte", "0F 0A 00 00 00 00 00", ""},
    ReplyCase{"UnknownCode", "0F 33 00 00 00 00 FF", ""}
), rowName);
// clang-format on

TEST(FrameReplies, IgnoresEverythingButConnectBeforeConnecting)
{
    SimFixture f;
    for (const char* frame : {"0F 02 20 02 02 02 FF", "0F 0E 00 12 12 12 FF", "0F 0D 00 00 00 00 FF"})
        EXPECT_EQ(f.unanswered(frame), "") << frame;
    f.connect();
}

// A frame abandoned half-way must not swallow the frame that follows it.
TEST(FrameReplies, ResynchronisesOnTheNextStartByte)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.exchange("55 0F 0A 00 0F 02 20 02 02 02 FF"), "0F 82 20 FF FF FF FF");
    EXPECT_EQ(f.harness.sim().counters().framesRejected, 1u);
}

// The rate switch itself is checked by every run of the engine at 57600 and 115200, and by
// the fault matrix's target that ignores it. The reset button takes the target back to 9600.
TEST(LineRate, ResetButtonReturnsToBaseRateWaitingForConnect)
{
    SimFixture f;
    f.connect();
    EXPECT_EQ(f.unanswered(*rateFrame(115200)), "");
    EXPECT_EQ(f.harness.sim().expectedRate(), 115200u);
    f.harness.sim().reset();
    EXPECT_EQ(f.harness.sim().expectedRate(), 9600u);
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
    f.connect();
}

// Each fault's effect on a run is checked end to end by the engine's fault matrix; here that
// faults given as text combine.
TEST(Faults, CombineAndParseFromText)
{
    SimFixture f(SimHarness::withFaults({*sim::parseFault("wrong-connect"), *sim::parseFault("silent-after=1")}));
    EXPECT_EQ(f.exchange(kConnectFrame), "0F 81 00 00 00 00 FF");
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
}

} // namespace
} // namespace pw::test
