#include "OpsBench.h"

#include <gtest/gtest.h>

namespace pw::test {
namespace {

constexpr std::uint8_t kBelowStart = 0x11; // flash below the start address before the run
constexpr std::uint8_t kAboveStart = 0x00; // flash above it: only an erase makes it writable

struct AutoCase {
    const char* name;
    std::uint32_t rate;
    std::uint32_t start;
    std::size_t length;
    const char* switchFrame; // nullptr: no rate switch
};

class AutoRun : public ::testing::TestWithParam<AutoCase> {};

TEST_P(AutoRun, ErasesProgramsAndVerifiesFromStart)
{
    const AutoCase& c = GetParam();
    OpsBench bench;
    bench.ctx.baudRate = c.rate;
    bench.ctx.ispStartAddr = c.start;
    sim::FlashBytes before;
    for (std::size_t k = 0; k < before.size(); ++k)
        before[k] = k < c.start ? kBelowStart : kAboveStart;
    bench.sim.sim().setFlash(before);
    const std::vector<std::uint8_t> image = patternImage(c.length, 1);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return AutoThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    ASSERT_TRUE(bench.waitForFrame(kLeaveFrame));
    const std::vector<std::string> frames = bench.sim.programFrames();
    EXPECT_EQ(frames[0], kConnectFrame);
    EXPECT_EQ(frames[1], kHandshakeFrame);
    EXPECT_EQ(frames[2] == (c.switchFrame ? c.switchFrame : "-"), c.switchFrame != nullptr) << frames[2];
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kLeaveFrame), 1);
    EXPECT_EQ(frames.back(), kLeaveFrame);

    const sim::FlashBytes after = bench.sim.sim().flash();
    for (std::size_t k = 0; k < after.size(); ++k) {
        const std::uint8_t want = k < c.start ? kBelowStart : k < image.size() ? image[k] : 0xFF;
        ASSERT_EQ(after[k], want) << "flash byte 0x" << std::hex << k;
    }
    const std::vector<std::string> lines = bench.view.lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], c.start == 0 ? "Begin erase chip all data............." : "Begin erase chip page data.............");
    EXPECT_EQ(lines[1].rfind("erase chip elapsed time : ", 0), 0u);
    EXPECT_EQ(lines[2], "Begin programming.............");
    EXPECT_EQ(lines[3].rfind("program elapsed time : ", 0), 0u);
    EXPECT_EQ(lines[4], "Begin verifying........");
    EXPECT_EQ(lines[5].rfind("Verify elapsed time : ", 0), 0u);
    EXPECT_EQ(bench.ctx.port.baud(), 9600u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AutoRun,
    ::testing::Values(AutoCase{"chip_9600", 9600, 0, 0x305, nullptr},
                      AutoCase{"chip_57600", 57600, 0, 0x300, "0F 0E 02 8C 8C 8C FF"},
                      AutoCase{"chip_115200", 115200, 0, 0x300, "0F 0E 02 CC CC CC FF"},
                      AutoCase{"pages_9600", 9600, 0x1800, 0x2000, nullptr},
                      AutoCase{"pages_57600", 57600, 0x1800, 0x1805, "0F 0E 02 8C 8C 8C FF"},
                      AutoCase{"pages_115200", 115200, 0x1800, 0x2345, "0F 0E 02 CC CC CC FF"},
                      AutoCase{"image_ends_at_start", 9600, 0x1800, 0x1800, nullptr}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(AutoPages, StartAt8000WalksFourKiB)
{
    OpsBench bench;
    bench.ctx.ispStartAddr = 0x8000;
    const std::vector<std::uint8_t> image = patternImage(0x9000, 2);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return AutoThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    ASSERT_TRUE(bench.waitForFrame(kLeaveFrame));
    const std::vector<std::string> frames = bench.sim.programFrames();
    const std::vector<std::string> masks = maskFrames(0x0000FFFF, 0xFFFF0000);
    EXPECT_EQ(std::vector<std::string>(frames.begin() + 2, frames.begin() + 10), masks);
    const std::vector<std::string> firstPage = pageEraseFrames(64);
    EXPECT_EQ(std::vector<std::string>(frames.begin() + 10, frames.begin() + 14), firstPage);
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](const std::string& f) { return f.rfind("0F 09", 0) == 0; }), 512);
    EXPECT_EQ(std::count_if(frames.begin(), frames.end(), [](const std::string& f) { return f.rfind("0F 0D", 0) == 0; }), 512);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), "0F 0E 01 82 82 82 FF"), 64);
    // After page 127 (high byte FE) the program phase selects 0x80 again.
    EXPECT_EQ(frames[10 + 64 * 4], setAddrFrame(0x80));
    EXPECT_EQ(bench.view.ranges(), (std::vector<std::pair<int, int>>{{0, 170}, {0, 64}, {0, 170}}));
}

TEST(AutoMismatch, VerifyPhaseNamesTheBlock)
{
    // Reply 26, as the simulator counts them, answers the read of the block at 0x18; its
    // first data byte arrives flipped.
    OpsBench bench(SimHarness::withFaults({{sim::Fault::Kind::Corrupt, 26}}));
    const std::string path = bench.imageFile(patternImage(0x40));
    const OperationResult result = bench.run([&] { return AutoThread(bench.ctx, bench.view, path); });

    EXPECT_EQ(result.outcome, Outcome::Mismatch);
    EXPECT_EQ(bench.boxes.texts(), std::vector<std::string>{"Verified Failure at 0x18!!!"});
    ASSERT_TRUE(bench.waitForFrame(kLeaveFrame));
    EXPECT_EQ(bench.sim.programFrames().back(), kLeaveFrame);
    EXPECT_EQ(bench.view.lines().back(), "Begin verifying........");
}

} // namespace
} // namespace pw::test
