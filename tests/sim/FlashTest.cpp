#include "sim/SimFixture.h"
#include "support/EngineBench.h"
#include "support/Tables.h"

#include <filesystem>

namespace pw::test {
namespace {

void erase(SimFixture& f, unsigned mode)
{
    ASSERT_NE(f.exchange(registerFrame(0x01, mode)), "");
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

struct EraseCase {
    const char* name;
    std::uint32_t keep;
    std::uint32_t erase;
    unsigned mode;
    unsigned high;                        // last set-address before the erase start
    std::uint32_t firstErased, endErased; // 512-byte pages that must read 0xFF afterwards
};
using pw::test::PrintTo;

class MaskedErase : public ::testing::TestWithParam<EraseCase> {};

TEST_P(MaskedErase, ErasesExactlyTheAllowedRange)
{
    const EraseCase& c = GetParam();
    SimFixture f;
    f.harness.sim().setFlash(pattern());
    f.connect();
    for (const std::string& frame : maskFrames(c.keep, c.erase))
        ASSERT_NE(f.exchange(frame), "");
    ASSERT_NE(f.exchange(registerFrame(0x00, c.high)), "");
    erase(f, c.mode);
    sim::FlashBytes expected = pattern();
    std::fill(expected.begin() + c.firstErased * 0x200, expected.begin() + c.endErased * 0x200, 0xFF);
    EXPECT_TRUE(f.harness.sim().flash() == expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Masks, MaskedErase, ::testing::Values(
    EraseCase{"ChipAll", 0, 0xFFFFFFFF, 0x80, 0, 0, 128},
    EraseCase{"ChipKeepsThreeBlocks", 0x7, 0xFFFFFFF8, 0x80, 0, 12, 128},
    EraseCase{"ChipKeepBeatsErase", 0x1, 0xFFFFFFFF, 0x80, 0, 4, 128},
    EraseCase{"ChipWithoutEraseBits", 0, 0, 0x80, 0, 0, 0},
    EraseCase{"ChipLastBlockOnly", 0, 0x80000000, 0x80, 0, 124, 128},
    EraseCase{"PageSixtyFour", 0, 0xFFFFFFFF, 0x82, 0x80, 64, 65},
    EraseCase{"PageLast", 0, 0xFFFFFFFF, 0x82, 0xFE, 127, 128},
    EraseCase{"PageInKeptBlock", 0x7, 0xFFFFFFF8, 0x82, 0x10, 0, 0},
    EraseCase{"PageAboveKeptBlocks", 0x7, 0xFFFFFFF8, 0x82, 0x18, 12, 13}
), rowName);
// clang-format on

// Programming only clears bits; a new connection forgets the masks, so nothing is erasable.
TEST(Flash, WritesClearBitsAndANewConnectionForgetsTheMasks)
{
    SimFixture f;
    f.connect();
    ASSERT_NE(f.exchange(setAddrFrame(0x12)), "");
    ASSERT_EQ(f.exchange("0F 09 38 F0 F0 00 FF 12 34 56 78 FF"), "0F 89 00 00 00 00 FF");
    ASSERT_EQ(f.exchange("0F 09 38 0F FF 00 0F FF FF FF FF FF"), "0F 89 00 00 00 00 FF");
    EXPECT_EQ(f.exchange("0F 0D 38 00 00 00 FF", 12), "0F 8D 38 00 F0 00 0F 12 34 56 78 FF");

    f.harness.sim().setFlash(pattern());
    for (const std::string& frame : maskFrames(0, 0xFFFFFFFF))
        ASSERT_NE(f.exchange(frame), "");
    f.connect();
    erase(f, 0x80);
    EXPECT_TRUE(f.harness.sim().flash() == pattern());
}

// --flash: written at once, before the program is told (a crash loses nothing), read again
// at the next start, and checked for its size.
TEST(FlashFile, WritesSurviveARestartAndTheSizeIsChecked)
{
    TempDir dir;
    sim::SimOptions options = SimHarness::unpaced();
    options.flashFile = dir.file("flash.bin");
    {
        SimFixture f(options);
        f.connect();
        ASSERT_NE(f.exchange(setAddrFrame(0xAB)), "");
        ASSERT_EQ(f.exchange("0F 09 C0 01 02 03 04 05 06 07 08 FF"), "0F 89 00 00 00 00 FF");
        const std::string content = fileText(options.flashFile);
        ASSERT_EQ(content.size(), 0x10000u);
        EXPECT_EQ(content[0xABC0], 0x01);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path().toStdString()), {}), 1)
        << "a temporary file stayed";
    SimFixture again(options);
    again.connect();
    ASSERT_NE(again.exchange(setAddrFrame(0xAB)), "");
    EXPECT_EQ(again.exchange("0F 0D C0 00 00 00 FF", 12), "0F 8D C0 01 02 03 04 05 06 07 08 FF");

    writeFile(options.flashFile, std::string(0x10001, '\0'));
    sim::Simulator oversized(options);
    EXPECT_FALSE(oversized.start());
    writeFile(options.flashFile, std::string(3, '\x11'));
    sim::Simulator shorter(options);
    ASSERT_TRUE(shorter.start());
    EXPECT_EQ(shorter.flash()[2], 0x11);
    EXPECT_EQ(shorter.flash()[3], 0xFF);
}

} // namespace
} // namespace pw::test
