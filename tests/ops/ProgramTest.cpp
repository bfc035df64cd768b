#include "OpsBench.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pw::test {
namespace {

std::vector<std::string> opening()
{
    std::vector<std::string> frames{kConnectFrame, kHandshakeFrame};
    const std::vector<std::string> masks = maskFrames(0x00000000, 0xFFFFFFFF);
    frames.insert(frames.end(), masks.begin(), masks.end());
    return frames;
}

std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count)
{
    std::vector<std::uint8_t> out(8, 0xFF);
    for (std::size_t k = 0; k < count; ++k)
        out[k] = bytes[from + k];
    return out;
}

// Every frame of a Program run from address 0, with the 0xFF filling of the tail; with
// `skipBlank`, blocks of 0xFF only are left out and the address walk follows the others.
std::vector<std::string> programStream(const std::vector<std::uint8_t>& image, bool skipBlank = false)
{
    std::vector<std::string> frames = opening();
    int lastHigh = 0xFF;
    for (std::size_t a = 0; a < image.size(); a += 8) {
        const std::vector<std::uint8_t> block = slice(image, a, std::min<std::size_t>(8, image.size() - a));
        if (skipBlank && std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; }))
            continue;
        if (static_cast<int>((a >> 8) & 0xFF) != lastHigh) {
            lastHigh = static_cast<int>((a >> 8) & 0xFF);
            frames.push_back(setAddrFrame(static_cast<std::uint8_t>(lastHigh)));
        }
        frames.push_back(writeFrame(static_cast<std::uint8_t>(a), block));
    }
    frames.push_back(kLeaveFrame);
    return frames;
}

bool flashHolds(const sim::FlashBytes& flash, const std::vector<std::uint8_t>& image)
{
    return std::equal(image.begin(), image.end(), flash.begin()) &&
           std::all_of(flash.begin() + static_cast<std::ptrdiff_t>(image.size()), flash.end(),
                       [](std::uint8_t b) { return b == 0xFF; });
}

struct SmallImage {
    std::size_t length;
    std::size_t writes;
    std::pair<int, int> range;
};

class ProgramSmall : public ::testing::TestWithParam<SmallImage> {};

TEST_P(ProgramSmall, SendsExactStreamAndFlashHoldsImage)
{
    OpsBench bench;
    const std::vector<std::uint8_t> image = patternImage(GetParam().length);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return ProgramThread(bench.ctx, bench.view, path); });

    EXPECT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::vector<std::string> expected = programStream(image);
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
    EXPECT_EQ(std::count_if(expected.begin(), expected.end(), [](const std::string& f) { return f.rfind("0F 09", 0) == 0; }),
              static_cast<long>(GetParam().writes));
    EXPECT_TRUE(flashHolds(bench.sim.sim().flash(), image));
    EXPECT_TRUE(bench.boxes.texts().empty());
    const std::vector<std::string> lines = bench.view.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Begin programming.............");
    EXPECT_EQ(lines[1].rfind("program elapsed time : ", 0), 0u);
    EXPECT_EQ(lines[1].back(), '\n');
    EXPECT_EQ(bench.view.ranges().front(), GetParam().range);
    EXPECT_EQ(bench.view.positions().back(), 0);
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ProgramSmall,
                         ::testing::Values(SmallImage{0, 0, {0, 0}}, SmallImage{5, 1, {0, 0}},
                                           SmallImage{0x108, 33, {0, 33}}, SmallImage{2040, 255, {0, 127}},
                                           SmallImage{2039, 255, {0, 254}}));

struct SparseImage {
    const char* name;
    std::vector<std::pair<std::size_t, std::size_t>> code; // (from, length) of pattern bytes in 0xFF
    std::size_t length;
};

class ProgramSkipBlank : public ::testing::TestWithParam<SparseImage> {};

// With skipBlankBlocks, blocks of 0xFF are not sent; every other block goes out with the right
// set-address frames, the first one sent is checked as a first block, and the flash is right.
TEST_P(ProgramSkipBlank, SendsOnlyBlocksWithCode)
{
    const SparseImage& c = GetParam();
    std::vector<std::uint8_t> image(c.length, 0xFF);
    const std::vector<std::uint8_t> code = patternImage(c.length, 7);
    for (const auto& [from, length] : c.code)
        std::copy_n(code.begin() + static_cast<std::ptrdiff_t>(from), length, image.begin() + static_cast<std::ptrdiff_t>(from));
    OpsBench bench;
    bench.ctx.skipBlankBlocks = true;
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return ProgramThread(bench.ctx, bench.view, path); });

    EXPECT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::vector<std::string> expected = programStream(image, true);
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
    EXPECT_TRUE(flashHolds(bench.sim.sim().flash(), image));
}

INSTANTIATE_TEST_SUITE_P(Images, ProgramSkipBlank,
                         ::testing::Values(SparseImage{"gaps_across_pages", {{0, 16}, {0x200, 8}, {0x2F9, 4}}, 0x2FD},
                                           SparseImage{"only_the_tail", {{0x104, 1}}, 0x105},
                                           SparseImage{"all_blank", {}, 0x400}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ProgramFull, WholeFlashImage)
{
    OpsBench bench;
    const std::vector<std::uint8_t> image = patternImage(0x10000, 3);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return ProgramThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::vector<std::string> frames = bench.framesAfter(2 + 8 + 256 + 8192 + 1);
    const auto starts = [&](const char* head) {
        return std::count_if(frames.begin(), frames.end(), [&](const std::string& f) { return f.rfind(head, 0) == 0; });
    };
    EXPECT_EQ(starts("0F 09"), 8192);
    EXPECT_EQ(starts("0F 0E 00"), 256);
    EXPECT_EQ(frames[10], setAddrFrame(0x00));
    EXPECT_EQ(frames[frames.size() - 2], writeFrame(0xF8, slice(image, 0xFFF8, 8)));
    EXPECT_EQ(frames.back(), kLeaveFrame);
    EXPECT_EQ(std::find(frames.begin(), frames.end(), setAddrFrame(0xFF)) - frames.begin(), 10 + 255 * 33);
    EXPECT_TRUE(flashHolds(bench.sim.sim().flash(), image));
    EXPECT_EQ(bench.view.ranges().front(), (std::pair{0, 248}));
    EXPECT_EQ(result.bytes, 0x10000u);
}

struct RateCase {
    std::uint32_t rate;
    const char* switchFrame; // nullptr: the run stays at 9600
};

class ProgramRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(ProgramRate, SwitchesOnlyAtTopRate)
{
    OpsBench bench;
    bench.ctx.baudRate = GetParam().rate;
    const std::vector<std::uint8_t> image = patternImage(0x40, 9);
    const std::string path = bench.imageFile(image);
    const OperationResult result = bench.run([&] { return ProgramThread(bench.ctx, bench.view, path); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    std::vector<std::string> expected = programStream(image);
    if (GetParam().switchFrame)
        expected.insert(expected.begin() + 2, GetParam().switchFrame);
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
    EXPECT_TRUE(flashHolds(bench.sim.sim().flash(), image));
    EXPECT_EQ(bench.ctx.port.baud(), 9600u); // reopened at the base rate
}

INSTANTIATE_TEST_SUITE_P(Rates, ProgramRate,
                         ::testing::Values(RateCase{9600, nullptr}, RateCase{57600, nullptr},
                                           RateCase{115200, "0F 0E 02 CC CC CC FF"}));

struct RefusedImage {
    const char* name;
    std::size_t length; // 0 with `missing`: no file at all
    bool missing;
    bool autoRun;       // Auto from start address 0x1800, else Program
    Outcome outcome;
    const char* boxStart;
    const char* boxPart;
};

class RefusesImage : public ::testing::TestWithParam<RefusedImage> {};

// An image that cannot be used is refused with a box before the first frame: nothing at all
// reaches the target, not even CmdLeaveIsp, and no erase runs for it.
TEST_P(RefusesImage, BeforeAnyFrame)
{
    const RefusedImage& c = GetParam();
    OpsBench bench;
    bench.ctx.ispStartAddr = 0x1800;
    const std::string path = c.missing ? bench.folder() + "/absent.bin" : bench.imageFile(patternImage(c.length));
    const OperationResult result = bench.run([&] {
        return c.autoRun ? AutoThread(bench.ctx, bench.view, path) : ProgramThread(bench.ctx, bench.view, path);
    });

    EXPECT_EQ(result.outcome, c.outcome);
    ASSERT_EQ(bench.boxes.texts().size(), 1u);
    EXPECT_EQ(bench.boxes.texts()[0].rfind(c.boxStart, 0), 0u) << bench.boxes.texts()[0];
    EXPECT_NE(bench.boxes.texts()[0].find(c.boxPart), std::string::npos) << bench.boxes.texts()[0];
    EXPECT_TRUE(bench.framesBeforeMarker().empty());
    EXPECT_TRUE(bench.view.lines().empty());
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Images, RefusesImage,
    ::testing::Values(
        RefusedImage{"missing", 0, true, false, Outcome::ImageError, "File : ", "could not be opened"},
        RefusedImage{"longer_than_flash", 0x10001, false, false, Outcome::ImageError, "File : ", "65537 bytes"},
        RefusedImage{"auto_ending_below_start", 0x1000, false, true, Outcome::Refused, "The image holds 0x1000",
                     "start address 0x1800"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace pw::test
