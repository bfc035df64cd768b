#include "image/HexToBin.h"

#include "image/ImageTestFiles.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pw::test {
namespace {

// Real tool-chain output: small 8051 programs compiled by sdcc, converted by us and by
// srec_cat (filled with 0xFF from address 0), and compared byte for byte.
struct Program {
    const char* name;
    const char* options;
    const char* source;
};

const Program kPrograms[] = {
    {"TableAtFixedAddress", "",
     "__code __at(0x2000) unsigned char table[4] = {1, 2, 3, 4};\n"
     "volatile unsigned char x;\n"
     "void main(void) { unsigned char i; for (i = 0; i < 4; ++i) x += table[i]; for (;;) {} }\n"},
    {"CodeMovedUp", "--code-loc 0x0400",
     "const char text[] = \"Pagewise round trip\";\n"
     "volatile char out;\n"
     "static char pick(unsigned char i) { return text[i % sizeof text]; }\n"
     "void main(void) { unsigned char i = 0; for (;;) out = pick(i++); }\n"},
};

bool onPath(const char* tool)
{
    const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(probe.c_str()) == 0;
}

using pw::test::PrintTo;

class SdccRoundTrip : public ::testing::TestWithParam<Program> {};

TEST_P(SdccRoundTrip, MatchesSrecCatByteForByte)
{
    if (!onPath("sdcc") || !onPath("srec_cat"))
        GTEST_SKIP() << "sdcc and srec_cat (package srecord) are needed for this test";
    const Program& p = GetParam();
    TempDir dir;
    writeFile(dir.file("prog.c"), p.source);
    const std::string d = dir.path().toStdString();
    const std::string compile = "cd '" + d + "' && sdcc -mmcs51 " + p.options + " prog.c >sdcc.log 2>&1";
    ASSERT_EQ(std::system(compile.c_str()), 0) << "sdcc failed, see " << compile;
    const std::string hex = dir.file("prog.ihx");
    const std::string reference = "srec_cat '" + hex + "' -intel -fill 0xFF 0x0000 -maximum-address '" + hex +
                                  "' -intel -o '" + dir.file("ref.bin") + "' -binary 2>'" + dir.file("srec.log") + "'";
    ASSERT_EQ(std::system(reference.c_str()), 0) << "srec_cat failed";

    RecordingBoxes boxes;
    HexConverterState state;
    ASSERT_TRUE(ConvertHexToBin(hex, dir.file("ours.bin"), state, boxes))
        << (boxes.texts().empty() ? "" : boxes.texts().front());
    const std::string expected = fileText(dir.file("ref.bin"));
    const std::string ours = fileText(dir.file("ours.bin"));
    ASSERT_GT(expected.size(), 0u);
    ASSERT_EQ(ours.size(), expected.size());
    EXPECT_TRUE(ours == expected) << "binary differs from srec_cat's";
}

INSTANTIATE_TEST_SUITE_P(Programs, SdccRoundTrip, ::testing::ValuesIn(kPrograms), rowName);

} // namespace
} // namespace pw::test
