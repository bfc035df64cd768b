#include "protocol/ResponseMatcher.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"
#include "support/WireFrames.h"

#include <gtest/gtest.h>

using pw::MatcherVariant;
using pw::ResponseKind;

namespace {

struct MatchCase {
    const char* name;
    MatcherVariant variant;
    ResponseKind kind;
    const char* stream;
    bool signalled;
    const char* readData = ""; // what readDest holds afterwards, when a read was expected
    bool box = false;          // "Please reset MCU and try again!"
};
using pw::test::PrintTo;

// A matcher on a context of its own, fed byte by byte from a hex string.
struct Fed {
    explicit Fed(MatcherVariant variant) : matcher(ctx, variant) {}
    void feed(const std::string& hex)
    {
        for (const std::uint8_t b : pw::test::bytesOf(hex))
            matcher.receiveByte(b, 1);
    }
    pw::test::RecordingBoxes boxes;
    pw::IspContext ctx{boxes};
    pw::ResponseMatcher matcher;
};

class Matcher : public testing::TestWithParam<MatchCase> {};

TEST_P(Matcher, SignalsOnlyTheAnnouncedReply)
{
    const MatchCase& c = GetParam();
    Fed fed(c.variant);
    std::array<std::uint8_t, 16> reply{};
    fed.ctx.readDest.attach(reply);
    fed.ctx.expectedReply = c.kind;
    fed.feed(c.stream);
    EXPECT_EQ(fed.ctx.replyEvent.isSet(), c.signalled);
    if (*c.readData) {
        std::array<std::uint8_t, 8> data{};
        ASSERT_TRUE(fed.ctx.readDest.copyTo(data));
        EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.end()), pw::test::bytesOf(c.readData));
    }
    EXPECT_EQ(fed.boxes.texts(),
              c.box ? std::vector<std::string>{"Please reset MCU and try again!"} : std::vector<std::string>{});
}

constexpr auto P = MatcherVariant::Panel;
constexpr auto D = MatcherVariant::Dump;

INSTANTIATE_TEST_SUITE_P(
    Table, Matcher,
    testing::Values(
        MatchCase{"ConnectAck", P, ResponseKind::ConnectAck, "0F 80 00 00 00 00 FF", true},
        MatchCase{"StrayByteBeforeConnect", P, ResponseKind::ConnectAck, "55 0F 80 00 00 00 00 FF", true},
        MatchCase{"WrongConnectReply", P, ResponseKind::ConnectAck, "0F 81 00 00 00 00 FF", false, "", true},
        MatchCase{"ShortConnectReply", P, ResponseKind::ConnectAck, "0F 80 00 00 00 00", false},
        MatchCase{"HandshakeAck", P, ResponseKind::HandshakeAck, "0F 82 20 FF FF FF FF", true},
        MatchCase{"HandshakeWrongByte", P, ResponseKind::HandshakeAck, "0F 82 20 FF FF FE FF", false},
        MatchCase{"WriteAckExact", P, ResponseKind::WriteAck, "0F 89 00 00 00 00 FF", true},
        MatchCase{"WriteAckRefusesOtherFrame", P, ResponseKind::WriteAck, "0F 8E 00 00 00 00 FF", false},
        MatchCase{"EraseStart", D, ResponseKind::EraseStartAck, "0F 8A 00 00 00 00 FF", true},
        MatchCase{"ChipEraseMode", P, ResponseKind::ChipEraseModeAck, "0F 8E 01 80 80 80 FF", true},
        MatchCase{"PageModeIsNotChipMode", P, ResponseKind::ChipEraseModeAck, "0F 8E 01 82 82 82 FF", false},
        MatchCase{"PageEraseMode", P, ResponseKind::PageEraseModeAck, "0F 8E 01 82 82 82 FF", true},
        MatchCase{"EraseDone", P, ResponseKind::EraseDoneAck, "0F 80 00 00 00 00 FF", true},
        MatchCase{"ReadDataAnyHeader", P, ResponseKind::ReadData, "0F 77 66 01 02 03 04 05 06 07 08 99", true,
                  "01 02 03 04 05 06 07 08"},
        MatchCase{"ReadDataElevenBytes", D, ResponseKind::ReadData, "0F 8D 00 01 02 03 04 05 06 07 08", false},
        MatchCase{"AnyFrameSeven", P, ResponseKind::AnyFrame, "0F 01 02 03 04 05 06", true},
        MatchCase{"AnyFrameSix", P, ResponseKind::AnyFrame, "0F 01 02 03 04 05", false},
        MatchCase{"AnyFrameNoClear", D, ResponseKind::AnyFrameNoClear, "0F 8E 00 12 12 12 FF", true},
        MatchCase{"MaskAckPanel", P, ResponseKind::MaskAck, "0F 8E 03 00 00 00 FF", true},
        MatchCase{"MaskAckUnknownToDump", D, ResponseKind::MaskAck, "0F 8E 03 00 00 00 FF", false},
        MatchCase{"AnyByteFirstStartByte", P, ResponseKind::AnyByte, "0F", true},
        MatchCase{"AnyByteNeedsStartByte", P, ResponseKind::AnyByte, "8E 03", false},
        MatchCase{"AnyByteUnknownToDump", D, ResponseKind::AnyByte, "0F", false},
        MatchCase{"IgnoreTakesNothing", P, ResponseKind::Ignore, "0F 80 00 00 00 00 FF", false},
        MatchCase{"IdleTakesNothing", D, ResponseKind::Idle, "0F 80 00 00 00 00 FF", false},
        MatchCase{"UnassignedTakesNothing", P, ResponseKind::Unassigned, "0F 80 00 00 00 00 FF", false},
        // A pattern after a long run of garbage: the buffer starts over instead of overflowing.
        MatchCase{"AfterAFullBuffer", P, ResponseKind::HandshakeAck,
                  "0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", false}),
    pw::test::rowName);

TEST(Matcher, PatternKindsSeeLeftoversOfAnUnclearedFrame)
{
    Fed fed(MatcherVariant::Panel);
    // A frame taken without clearing leaves its bytes behind...
    fed.ctx.expectedReply = ResponseKind::AnyFrameNoClear;
    fed.feed("0F 89 00 00 00 00 FF");
    ASSERT_TRUE(fed.ctx.replyEvent.isSet());
    // ...so a single start byte already completes a write echo under an exact kind.
    fed.ctx.replyEvent.reset();
    fed.ctx.expectedReply = ResponseKind::WriteAck;
    fed.feed("0F");
    EXPECT_TRUE(fed.ctx.replyEvent.isSet());
    // A cleared buffer does not.
    fed.ctx.replyEvent.reset();
    fed.matcher.clearHead();
    fed.feed("0F");
    EXPECT_FALSE(fed.ctx.replyEvent.isSet());
}

// Once full, bytes are dropped until the next start byte, and a real reply matches again.
TEST(Matcher, NeverWritesPastItsBufferAndRecoversAfterIt)
{
    Fed fed(MatcherVariant::Panel);
    fed.ctx.expectedReply = ResponseKind::HandshakeAck;
    fed.feed("0F");
    for (int i = 0; i < 6000; ++i) {
        fed.matcher.receiveByte(0x42, 1);
        ASSERT_LE(fed.matcher.count(), static_cast<int>(pw::ResponseMatcher::kBufferSize));
    }
    EXPECT_FALSE(fed.ctx.replyEvent.isSet());
    fed.feed("0F 82 20 FF FF FF FF");
    EXPECT_TRUE(fed.ctx.replyEvent.isSet());
}

TEST(Matcher, ReadDataWithoutABufferIsDroppedSafely)
{
    Fed fed(MatcherVariant::Dump);
    fed.ctx.expectedReply = ResponseKind::ReadData;
    fed.feed("0F 8D 00 01 02 03 04 05 06 07 08 FF");
    EXPECT_TRUE(fed.ctx.replyEvent.isSet()); // the late reply completes, but writes nowhere
}

} // namespace
