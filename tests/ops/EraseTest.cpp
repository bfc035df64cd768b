#include "OpsBench.h"

#include <gtest/gtest.h>

namespace pw::test {
namespace {

sim::FlashBytes zeroFlash()
{
    sim::FlashBytes flash;
    flash.fill(0x00);
    return flash;
}

// The index of the first byte that is not what an erase of [from, to) on zeroed flash leaves.
std::ptrdiff_t firstWrongByte(const sim::FlashBytes& flash, std::size_t from, std::size_t to)
{
    for (std::size_t k = 0; k < flash.size(); ++k)
        if (flash[k] != (k >= from && k < to ? 0xFF : 0x00))
            return static_cast<std::ptrdiff_t>(k);
    return -1;
}

TEST(EraseAll, FixedMasksWhateverTheStartAddress)
{
    OpsBench bench;
    bench.ctx.ispStartAddr = 0x8000; // the whole-chip erase does not look at it
    bench.sim.sim().setFlash(zeroFlash());
    const OperationResult result = bench.run([&] { return EraseAllThread(bench.ctx, bench.view); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    std::vector<std::string> expected{kConnectFrame, kHandshakeFrame};
    for (const std::string& f : maskFrames(0x00000000, 0xFFFFFFFF))
        expected.push_back(f);
    expected.insert(expected.end(), kChipEraseFrames.begin(), kChipEraseFrames.end());
    expected.push_back(kLeaveFrame);
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
    EXPECT_EQ(firstWrongByte(bench.sim.sim().flash(), 0, 0x10000), -1);
    const std::vector<std::string> lines = bench.view.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Begin erase chip all data.............");
    EXPECT_EQ(lines[1].rfind("erase chip elapsed time : ", 0), 0u);
    EXPECT_EQ(bench.ctx.busy, 0);
}

struct PageCase {
    const char* name;
    std::uint32_t startAddr;
    std::uint32_t fromPage;
    std::uint32_t pageCount;
    std::size_t erasedFrom; // what the masked flash really erases
    std::size_t erasedTo;
};

class PageErase : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageErase, SendsEveryPageAndHonoursMasks)
{
    const PageCase& c = GetParam();
    OpsBench bench;
    bench.ctx.ispStartAddr = c.startAddr;
    bench.sim.sim().setFlash(zeroFlash());
    const OperationResult result =
        bench.run([&] { return PageEraseThread(bench.ctx, bench.view, c.fromPage, c.pageCount); });

    ASSERT_EQ(result.outcome, Outcome::Success) << result.message;
    const std::uint32_t blocks = c.startAddr >> 11;
    const std::uint32_t eraseMask = (0xFFFFFFFFu >> blocks) << blocks;
    std::vector<std::string> expected{kConnectFrame, kHandshakeFrame};
    for (const std::string& f : maskFrames(~eraseMask, eraseMask))
        expected.push_back(f);
    for (std::uint32_t p = c.fromPage; p < c.fromPage + c.pageCount; ++p)
        for (const std::string& f : pageEraseFrames(p))
            expected.push_back(f);
    expected.push_back(kLeaveFrame);
    EXPECT_EQ(bench.framesAfter(expected.size()), expected);
    EXPECT_EQ(firstWrongByte(bench.sim.sim().flash(), c.erasedFrom, c.erasedTo), -1);
    EXPECT_EQ(bench.view.lines().front(), "Begin erase page data.............");
    EXPECT_EQ(bench.view.lines().back().rfind("erase chip elapsed time : ", 0), 0u);
    EXPECT_EQ(bench.view.ranges().front(), (std::pair{0, static_cast<int>(c.pageCount)}));
    EXPECT_EQ(bench.view.positions().back(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, PageErase,
    ::testing::Values(PageCase{"upper_half", 0x8000, 64, 64, 0x8000, 0x10000},
                      PageCase{"kept_blocks_stay", 0x8000, 60, 8, 0x8000, 0x8800},
                      PageCase{"last_page", 0x800, 127, 1, 0xFE00, 0x10000},
                      PageCase{"no_pages", 0x800, 4, 0, 0, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct RefusedRange {
    std::uint32_t fromPage;
    std::uint32_t pageCount;
};

class PageEraseRefused : public ::testing::TestWithParam<RefusedRange> {};

TEST_P(PageEraseRefused, NothingReachesTheTarget)
{
    OpsBench bench;
    bench.ctx.ispStartAddr = 0x800;
    bench.sim.sim().setFlash(zeroFlash());
    const OperationResult result = bench.run(
        [&] { return PageEraseThread(bench.ctx, bench.view, GetParam().fromPage, GetParam().pageCount); });

    EXPECT_EQ(result.outcome, Outcome::Refused);
    EXPECT_EQ(bench.boxes.texts().size(), 1u);
    EXPECT_TRUE(bench.sim.programFrames().empty());
    EXPECT_EQ(firstWrongByte(bench.sim.sim().flash(), 0, 0), -1);
    EXPECT_EQ(bench.ctx.busy, 0);
}

INSTANTIATE_TEST_SUITE_P(PastTheEnd, PageEraseRefused,
                         ::testing::Values(RefusedRange{127, 2}, RefusedRange{128, 1}, RefusedRange{4, 0xFFFFFFFF},
                                           RefusedRange{0xFFFFFFFF, 2}));

} // namespace
} // namespace pw::test
