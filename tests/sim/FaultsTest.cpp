#include "sim/SimFixture.h"

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

// Each fault's effect on a run is checked end to end by the engine's fault matrix; here only
// what the command line gives the simulator.
TEST(Faults, CombineAndParseFromText)
{
    SimFixture f(SimHarness::withFaults({*sim::parseFault("wrong-connect"), *sim::parseFault("silent-after=1")}));
    EXPECT_EQ(f.exchange(kConnectFrame), "0F 81 00 00 00 00 FF");
    EXPECT_EQ(f.unanswered(kHandshakeFrame), "");
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
