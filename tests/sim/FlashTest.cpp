#include "sim/SimFixture.h"
#include "support/Tables.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace pw::test {
namespace {

std::string reg(unsigned r, unsigned v)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0E %02X %02X %02X %02X FF", r, v & 0xFF, v & 0xFF, v & 0xFF);
    return text;
}

void sendMasks(SimFixture& f, std::uint32_t keep, std::uint32_t erase)
{
    for (const std::string& frame : maskFrames(keep, erase))
        ASSERT_NE(f.exchange(frame), "");
}

void erase(SimFixture& f, unsigned mode)
{
    ASSERT_NE(f.exchange(reg(0x01, mode)), "");
    ASSERT_EQ(f.exchange("0F 0A 00 00 00 00 FF"), "0F 8A 00 00 00 00 FF");
    ASSERT_EQ(f.exchange("0F 00 00 00 00 00 FF"), "0F 80 00 00 00 00 FF");
}

sim::FlashBytes pattern()
{
    sim::FlashBytes bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1) & 0x7F; // never 0xFF
    return bytes;
}


TEST(Flash, ProgrammingOnlyClearsBitsAndReadsBack)
{
    SimFixture f;
    f.connect();
    ASSERT_NE(f.exchange(reg(0x00, 0x12)), "");
    ASSERT_EQ(f.exchange("0F 09 38 F0 F0 00 FF 12 34 56 78 FF"), "0F 89 00 00 00 00 FF");
    ASSERT_EQ(f.exchange("0F 09 38 0F FF 00 0F FF FF FF FF FF"), "0F 89 00 00 00 00 FF");
    EXPECT_EQ(f.exchange("0F 0D 38 00 00 00 FF", 12), "0F 8D 38 00 F0 00 0F 12 34 56 78 FF");
    const sim::FlashBytes flash = f.harness.sim().flash();
    EXPECT_EQ(flash[0x1238], 0x00);
    EXPECT_EQ(flash[0x123F], 0x78);
    EXPECT_EQ(flash[0x1240], 0xFF);
    EXPECT_EQ(flash[0x1237], 0xFF);
}

struct EraseCase {
    const char* name;
    std::uint32_t keep;
    std::uint32_t erase;
    unsigned mode;
    unsigned high;                        // last set-address before the erase start
    std::vector<std::uint32_t> erasedPages; // 512-byte pages that must read 0xFF afterwards
};
using pw::test::PrintTo;

class MaskedErase : public ::testing::TestWithParam<EraseCase> {};

TEST_P(MaskedErase, ErasesExactlyTheAllowedRange)
{
    const EraseCase& c = GetParam();
    SimFixture f;
    f.harness.sim().setFlash(pattern());
    f.connect();
    sendMasks(f, c.keep, c.erase);
    ASSERT_NE(f.exchange(reg(0x00, c.high)), "");
    erase(f, c.mode);
    const sim::FlashBytes flash = f.harness.sim().flash();
    const sim::FlashBytes before = pattern();
    for (std::uint32_t page = 0; page < 128; ++page) {
        const bool expectErased = std::find(c.erasedPages.begin(), c.erasedPages.end(), page) != c.erasedPages.end();
        const auto from = static_cast<std::ptrdiff_t>(page * 0x200);
        EXPECT_TRUE(expectErased ? std::all_of(flash.begin() + from, flash.begin() + from + 0x200,
                                               [](std::uint8_t b) { return b == 0xFF; })
                                 : std::equal(flash.begin() + from, flash.begin() + from + 0x200, before.begin() + from))
            << "page " << page;
    }
}

std::vector<std::uint32_t> pages(std::uint32_t from, std::uint32_t to)
{
    std::vector<std::uint32_t> result;
    for (std::uint32_t p = from; p < to; ++p)
        result.push_back(p);
    return result;
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskedErase,
    ::testing::Values(EraseCase{"ChipAll", 0, 0xFFFFFFFF, 0x80, 0, pages(0, 128)},
                      EraseCase{"ChipKeepsThreeBlocks", 0x7, 0xFFFFFFF8, 0x80, 0, pages(12, 128)},
                      EraseCase{"ChipKeepBeatsErase", 0x1, 0xFFFFFFFF, 0x80, 0, pages(4, 128)},
                      EraseCase{"ChipWithoutEraseBits", 0, 0, 0x80, 0, {}},
                      EraseCase{"ChipLastBlockOnly", 0, 0x80000000, 0x80, 0, pages(124, 128)},
                      EraseCase{"PageSixtyFour", 0, 0xFFFFFFFF, 0x82, 0x80, {64}},
                      EraseCase{"PageLast", 0, 0xFFFFFFFF, 0x82, 0xFE, {127}},
                      EraseCase{"PageOddHighMeansSamePage", 0, 0xFFFFFFFF, 0x82, 0x81, {64}},
                      EraseCase{"PageInKeptBlock", 0x7, 0xFFFFFFF8, 0x82, 0x10, {}},
                      EraseCase{"PageAboveKeptBlocks", 0x7, 0xFFFFFFF8, 0x82, 0x18, {12}}),
    rowName);

TEST(Flash, NewConnectionForgetsTheMasks)
{
    SimFixture f;
    f.harness.sim().setFlash(pattern());
    f.connect();
    sendMasks(f, 0, 0xFFFFFFFF);
    f.connect();
    erase(f, 0x80);
    EXPECT_EQ(f.harness.sim().flash(), pattern());
}

class FlashFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("pw-sim-flash-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        path = (dir / "flash.bin").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    sim::SimOptions options() const
    {
        sim::SimOptions o = SimHarness::unpaced();
        o.flashFile = path;
        return o;
    }
    std::filesystem::path dir;
    std::string path;
};

TEST_F(FlashFile, WritesSurviveARestartAndNoTemporaryFileStays)
{
    {
        SimFixture f(options());
        f.connect();
        ASSERT_NE(f.exchange(reg(0x00, 0xAB)), "");
        ASSERT_EQ(f.exchange("0F 09 C0 01 02 03 04 05 06 07 08 FF"), "0F 89 00 00 00 00 FF");
        // Saved at once, before the program is told: a crash now loses nothing.
        std::ifstream in(path, std::ios::binary);
        std::vector<char> content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(content.size(), 0x10000u);
        EXPECT_EQ(content[0xABC0], 0x01);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
    SimFixture again(options());
    again.connect();
    ASSERT_NE(again.exchange(reg(0x00, 0xAB)), "");
    EXPECT_EQ(again.exchange("0F 0D C0 00 00 00 FF", 12), "0F 8D C0 01 02 03 04 05 06 07 08 FF");
}

// A file of the wrong size: longer is refused, shorter is padded with erased bytes.
TEST_F(FlashFile, SizeIsChecked)
{
    std::ofstream(path, std::ios::binary) << std::string(0x10001, '\0');
    sim::Simulator oversized(options());
    EXPECT_FALSE(oversized.start());
    EXPECT_NE(oversized.error(), "");

    std::ofstream(path, std::ios::binary) << std::string(3, '\x11');
    sim::Simulator shorter(options());
    ASSERT_TRUE(shorter.start());
    EXPECT_EQ(shorter.flash()[2], 0x11);
    EXPECT_EQ(shorter.flash()[3], 0xFF);
}

} // namespace
} // namespace pw::test
