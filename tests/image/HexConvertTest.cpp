#include "image/HexToBin.h"

#include "image/ImageTestFiles.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw::test {
namespace {

struct Patch {
    std::uint32_t at;
    Bytes bytes;
};

struct ConvertCase {
    const char* name;
    std::string hex;
    std::size_t size;        // expected binary length
    std::vector<Patch> data; // everything else in the binary is 0xFF
    std::uint32_t dataSum;
};

const std::string kClassic = ":10010000214601360121470136007EFE09D2190140\n";
const Bytes kClassicData = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                            0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};

// clang-format off
const ConvertCase kConvertCases[] = {
    {"OnlyEndRecord", kEndRecord, 0, {}, 0},
    {"ClassicLine", kClassic + kEndRecord, 0x110, {{0x100, kClassicData}}, 943},
    {"TextBetweenRecords", "; built by hand\r\n\r\n   " + kClassic + "junk without colon\n\n" + ":00000001ff\r\n", 0x110,
        {{0x100, kClassicData}}, 943},
    {"Bank1MovesUpperHalfOnly", bankRecord(1) + dataRecord(0x8000, {0xAA}) + dataRecord(0x1234, {0xBB}) + kEndRecord,
        0x10001, {{0x10000, {0xAA}}, {0x1234, {0xBB}}}, 0xAA + 0xBB},
    {"Bank0MapsNothing", bankRecord(1) + bankRecord(0) + dataRecord(0x8000, {0x11}) + kEndRecord, 0x8001,
        {{0x8000, {0x11}}}, 0x11},
    {"RecordBelowBoundaryUnmoved", bankRecord(1) + dataRecord(0x7FFF, {1, 2}) + kEndRecord, 0x8001,
        {{0x7FFF, {1, 2}}}, 3},
    {"LaterRecordOverwrites", dataRecord(0, {1, 2, 3, 4}) + dataRecord(2, {9, 9}) + kEndRecord, 4,
        {{0, {1, 2, 9, 9}}}, 1 + 2 + 3 + 4 + 9 + 9},
    {"StartAddressRecordsAddNothing", ":0400000300003800C1\n:04000005000000CD2A\n" + dataRecord(0, {0x5A}) + kEndRecord,
        1, {{0, {0x5A}}}, 0x5A},
    {"NothingReadAfterEndRecord", dataRecord(0, {7}) + kEndRecord + dataRecord(8, {8}) + ":zz\n", 1, {{0, {7}}}, 7},
    {"DosEndOfFileMark", kClassic + ":00000001FF\x1A", 0x110, {{0x100, kClassicData}}, 943},
    {"TextAfterRecordOnItsLine", ":10010000214601360121470136007EFE09D2190140 ; reset vector\r\n" + kEndRecord, 0x110,
        {{0x100, kClassicData}}, 943},
    {"LongestRecord", dataRecord(0x40, Bytes(255, 0x01)) + kEndRecord, 0x13F, {{0x40, Bytes(255, 0x01)}}, 255},
    {"TopByteOfImage", bankRecord(0x1FE) + dataRecord(0xFFFF, {0x77}) + kEndRecord, 0x1000000, {{0xFFFFFF, {0x77}}},
        0x77},
};
// clang-format on

std::string expectedImage(const ConvertCase& c)
{
    std::string image(c.size, '\xFF');
    for (const Patch& p : c.data)
        std::copy(p.bytes.begin(), p.bytes.end(), image.begin() + p.at);
    return image;
}

using pw::test::PrintTo;

class HexConvert : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(HexConvert, WritesFlatImageFromAddressZero)
{
    const ConvertCase& c = GetParam();
    TempDir dir;
    writeFile(dir.file("in.hex"), c.hex);
    RecordingBoxes boxes;
    HexConverterState state;
    ASSERT_TRUE(ConvertHexToBin(dir.file("in.hex"), dir.file("in.bin"), state, boxes));
    EXPECT_TRUE(boxes.texts().empty());
    const std::string written = fileText(dir.file("in.bin"));
    ASSERT_EQ(written.size(), c.size);
    EXPECT_TRUE(written == expectedImage(c)) << "binary content differs";
    EXPECT_EQ(state.hexDataSum, c.dataSum);
    EXPECT_EQ(state.sourceSize, c.hex.size());
}

INSTANTIATE_TEST_SUITE_P(Records, HexConvert, ::testing::ValuesIn(kConvertCases), rowName);

struct RefusalCase {
    const char* name;
    std::string hex;
    std::string box; // "{file}" stands for the HEX path
};

const std::string kGood = dataRecord(0, {0x11});

const RefusalCase kRefusalCases[] = {
    {"WrongChecksum", kGood + ":0100000011EF\n" + kEndRecord,
     "File : {file} line 2: record checksum is EF, expected EE"},
    {"LetterNotHex", ":0100000G11EE\n" + kEndRecord, "File : {file} line 1: character 'G' is not a hexadecimal digit"},
    {"BlankInsideRecord", "\n\n:01000000 11EE\n" + kEndRecord,
     "File : {file} line 3: character 0x20 is not a hexadecimal digit"},
    {"CountLargerThanLine", ":0200000011EE\n" + kEndRecord,
     "File : {file} line 1: byte count 02 needs 14 digits, the line has 12"},
    {"CountSmallerThanLineMisplacesChecksum", ":000000001122CC\n" + kEndRecord,
     "File : {file} line 1: record checksum is 11, expected 00"},
    {"RecordCutShort", kGood + ":0000\n" + kEndRecord,
     "File : {file} line 2: record has 4 digits, which is no whole record"},
    {"NoEndRecord", kGood + kGood, "File : {file} line 3: file ends before the end-of-file record"},
    {"EmptyFile", "", "File : {file} line 1: file ends before the end-of-file record"},
    {"SegmentAddressRecord", kGood + ":020000021200EA\n" + kEndRecord, "不支持擴展段地址記錄!"},
    {"BankBeyondImage", ":0200000401FFFA\n" + dataRecord(0x8000, {1}) + kEndRecord,
     "File : {file} line 2: data at 0x1000000 lies beyond the 16 MiB image"},
    {"RecordStraddlesImageEnd", bankRecord(0x1FE) + dataRecord(0xFFFF, {1, 2}) + kEndRecord,
     "File : {file} line 2: data at 0xFFFFFF lies beyond the 16 MiB image"},
    {"BankRecordWrongLength", ":0400000400010000F7\n" + kEndRecord,
     "File : {file} line 1: extended linear address record must carry 2 data bytes"},
};

std::string withFile(std::string text, const std::string& file)
{
    const std::size_t at = text.find("{file}");
    return at == std::string::npos ? text : text.replace(at, 6, file);
}

class HexRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(HexRefusal, ShowsBoxAndLeavesExistingBinaryAlone)
{
    const RefusalCase& c = GetParam();
    TempDir dir;
    const std::string hexPath = dir.file("fw.hex");
    writeFile(hexPath, c.hex);
    writeFile(dir.file("fw.bin"), "previous good image");
    RecordingBoxes boxes;
    HexConverterState state;
    EXPECT_FALSE(ConvertHexToBin(hexPath, dir.file("fw.bin"), state, boxes));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{withFile(c.box, hexPath)});
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].icon, BoxIcon::Stop);
    EXPECT_EQ(fileText(dir.file("fw.bin")), "previous good image");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path().toStdString()))
        ++files;
    EXPECT_EQ(files, 2u) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(BadFiles, HexRefusal, ::testing::ValuesIn(kRefusalCases), rowName);

TEST(HexConvertFiles, MissingHexAndUnwritableBinaryAreReportedByPath)
{
    TempDir dir;
    RecordingBoxes boxes;
    HexConverterState state;
    EXPECT_FALSE(ConvertHexToBin(dir.file("none.hex"), dir.file("none.bin"), state, boxes));
    writeFile(dir.file("ok.hex"), kGood + kEndRecord);
    const std::string binPath = dir.file("no-such-folder/ok.bin");
    EXPECT_FALSE(ConvertHexToBin(dir.file("ok.hex"), binPath, state, boxes));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"File : " + dir.file("none.hex") + " could not be opened!!!",
                                                       "File : " + binPath + " could not be opened!!!"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.bin")));
}

} // namespace
} // namespace pw::test
