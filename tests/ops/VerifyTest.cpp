#include "OpsBench.h"

#include <gtest/gtest.h>

namespace pw::test {
namespace {

struct VerifyCase {
    const char* name;
    std::size_t length;
    std::int64_t corruptAt; // -1: flash holds the image exactly (0xFF behind it)
    std::uint32_t startAddr;
    Outcome outcome;
    const char* box; // nullptr: no box
};

class VerifyAgainstFlash : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(VerifyAgainstFlash, ReportsFirstDifferingBlock)
{
    const VerifyCase& c = GetParam();
    OpsBench bench;
    bench.ctx.ispStartAddr = c.startAddr;
    const std::vector<std::uint8_t> image = patternImage(c.length, 5);
    sim::FlashBytes flash;
    flash.fill(0xFF);
    std::copy(image.begin(), image.end(), flash.begin());
    if (c.corruptAt >= 0)
        flash[static_cast<std::size_t>(c.corruptAt)] ^= 0x01;
    bench.sim.sim().setFlash(flash);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return VerifyThread(bench.ctx, bench.view, path); });

    EXPECT_EQ(result.outcome, c.outcome) << result.message;
    EXPECT_EQ(bench.boxes.texts(), c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{});
    const std::vector<std::string> frames = bench.framesAfter(3);
    EXPECT_EQ(frames.back(), kLeaveFrame); // after success and mismatch alike
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), 1);
    const std::vector<std::string> lines = bench.view.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Begin verifying........");
    EXPECT_EQ(lines.size(), c.outcome == Outcome::Success ? 2u : 1u) << "a failed run logged an elapsed time";
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VerifyAgainstFlash,
    ::testing::Values(VerifyCase{"equal", 0x208, -1, 0, Outcome::Success, nullptr},
                      VerifyCase{"byte_107", 0x200, 0x107, 0, Outcome::Mismatch, "Verified Failure at 0x100!!!"},
                      VerifyCase{"tail_equal", 0x10D, -1, 0, Outcome::Success, nullptr},
                      VerifyCase{"tail_inside", 0x10D, 0x10A, 0, Outcome::Mismatch, "Verified Failure at 0x108!!!"},
                      VerifyCase{"behind_tail", 0x10D, 0x10E, 0, Outcome::Mismatch, "Verified Failure at 0x108!!!"},
                      VerifyCase{"below_start", 0x1000, 0x10, 0x800, Outcome::Mismatch, "Verified Failure at 0x10!!!"},
                      VerifyCase{"empty", 0, -1, 0, Outcome::Success, nullptr}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(VerifyStream, ReadsWithoutMasks)
{
    OpsBench bench;
    const std::vector<std::uint8_t> image(0x10, 0xFF);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return VerifyThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message << ::testing::PrintToString(bench.sim.log());
    const std::vector<std::string> expected{kConnectFrame, kHandshakeFrame, setAddrFrame(0), readFrame(0x00),
                                            readFrame(0x08), kLeaveFrame};
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
}

struct VerifyRate {
    std::uint32_t rate;
    bool switches;
};

class VerifyRates : public ::testing::TestWithParam<VerifyRate> {};

TEST_P(VerifyRates, SwitchOnlyAtTopRate)
{
    OpsBench bench;
    bench.ctx.baudRate = GetParam().rate;
    const std::string path = bench.imageFile(std::vector<std::uint8_t>(0x20, 0xFF));
    const OperationResult result = bench.run([&] { return VerifyThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::vector<std::string> frames = bench.framesAfter(7);
    EXPECT_EQ(frames[2] == "0F 0E 02 CC CC CC FF", GetParam().switches) << frames[2];
    EXPECT_EQ(frames.size(), GetParam().switches ? 9u : 8u);
}

INSTANTIATE_TEST_SUITE_P(Rates, VerifyRates,
                         ::testing::Values(VerifyRate{9600, false}, VerifyRate{57600, false}, VerifyRate{115200, true}));

} // namespace
} // namespace pw::test
