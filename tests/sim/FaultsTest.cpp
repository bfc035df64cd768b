#include "sim/SimFixture.h"

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;
const std::string kHandshake = "0F 02 20 02 02 02 FF";
const std::string kHandshakeAck = "0F 82 20 FF FF FF FF";
const std::string kSetAddr = "0F 0E 00 12 12 12 FF";
const std::string kSetAddrAck = "0F 8E 00 12 12 12 FF";

// Three frames in a row; each step says what reply (if any) must come.
struct FaultCase {
    const char* name;
    sim::Fault fault;
    std::vector<std::pair<std::string, std::string>> steps; // frame, reply ("" none)
};

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, ChangeWhatTheProgramHears)
{
    const FaultCase& c = GetParam();
    SimFixture f(SimHarness::withFaults({c.fault}));
    for (const auto& [frame, reply] : c.steps) {
        if (reply.empty())
            EXPECT_EQ(f.unanswered(frame), "") << frame;
        else
            EXPECT_EQ(f.exchange(frame), reply) << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, Faults,
    ::testing::Values(
        FaultCase{"SilentAfterTwo",
                  {Kind::SilentAfter, 2},
                  {{kConnect, kConnectAck}, {kHandshake, kHandshakeAck}, {kSetAddr, ""}, {kConnect, ""}}},
        FaultCase{"WrongConnect", {Kind::WrongConnect, 0}, {{kConnect, "0F 81 00 00 00 00 FF"}, {kHandshake, kHandshakeAck}}},
        FaultCase{"CorruptSecondReply",
                  {Kind::Corrupt, 2},
                  {{kConnect, kConnectAck}, {kHandshake, "0F 82 20 FE FF FF FF"}, {kSetAddr, kSetAddrAck}}},
        FaultCase{"CorruptFirstReply", {Kind::Corrupt, 1}, {{kConnect, "0F 80 00 01 00 00 FF"}, {kConnect, kConnectAck}}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Faults, SlowDelaysEveryReply)
{
    SimFixture f(SimHarness::withFaults({{Kind::Slow, 400}}));
    f.line->send(bytesOf(kConnect));
    EXPECT_EQ(f.line->receive(1, std::chrono::milliseconds(200)).size(), 0u);
    EXPECT_EQ(hexBytesOf(f.line->receive(7, kReplyWait)), kConnectAck);
}

TEST(Faults, EraseBusyHoldsOnlyTheStatusReply)
{
    SimFixture f(SimHarness::withFaults({{Kind::EraseBusy, 600}}));
    f.connect();
    ASSERT_EQ(f.exchange("0F 0A 00 00 00 00 FF"), "0F 8A 00 00 00 00 FF");
    f.line->send(bytesOf("0F 00 00 00 00 00 FF"));
    EXPECT_EQ(f.line->receive(1, std::chrono::milliseconds(300)).size(), 0u);
    EXPECT_EQ(hexBytesOf(f.line->receive(7, kReplyWait)), kConnectAck);
}

TEST(Faults, HangupAfterClosesTheLineOnceTheReplyIsOut)
{
    SimFixture f(SimHarness::withFaults({{Kind::HangupAfter, 2}}));
    f.connect();
    ASSERT_EQ(f.exchange(kHandshake), kHandshakeAck);
    EXPECT_TRUE(f.line->hangsUp(kReplyWait));
    EXPECT_TRUE(f.harness.waitUntil([&] { return f.harness.sim().counters().hungUp; }));
}

TEST(Faults, CombineAndParseFromText)
{
    SimFixture f(SimHarness::withFaults({*sim::parseFault("wrong-connect"), *sim::parseFault("silent-after=1")}));
    EXPECT_EQ(f.exchange(kConnect), "0F 81 00 00 00 00 FF");
    EXPECT_EQ(f.unanswered(kHandshake), "");
}

TEST(Faults, ParserRefusesMalformedSpecs)
{
    for (const char* text : {"", "silent-after", "silent-after=", "silent-after=x", "slow=-1", "corrupt=1x",
                             "wrong-connect=1", "no-baud-switch=0", "hangup", "erase-busy=99999999999"})
        EXPECT_FALSE(sim::parseFault(text).has_value()) << text;
    const auto slow = sim::parseFault("slow=25");
    ASSERT_TRUE(slow.has_value());
    EXPECT_EQ(slow->kind, Kind::Slow);
    EXPECT_EQ(slow->value, 25u);
}

} // namespace
} // namespace pw::test
