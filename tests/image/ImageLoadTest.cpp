#include "image/FirmwareImage.h"
#include "image/ImageLoad.h"
#include "image/ImageMessages.h"

#include "image/ImageTestFiles.h"
#include "support/RecordingBoxes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw::test {
namespace {

const std::string kSixteenZeros = ":1001000000000000000000000000000000000000EF\n" + kEndRecord;
const std::string kClassicHex = ":10010000214601360121470136007EFE09D2190140\n" + kEndRecord;
const std::string kPrevious = "/previous/image.bin";

struct LoadCase {
    const char* name;
    std::string fileName;   // chosen in the dialog, relative to the test folder
    std::string content;
    LoadStatus status;
    std::string sizeText;   // "{len}" stands for the chosen file's length
    std::string checksumText;
    std::string imageName;  // expected image file in the folder; empty: the previous image
};

const LoadCase kLoadCases[] = {
    {"ThreeByteBinary", "fw.bin", "\xFF\xFF\x02", LoadStatus::Loaded, "3", "0200", "fw.bin"},
    {"EmptyBinary", "empty.BIN", "", LoadStatus::Loaded, "0", "0000", "empty.BIN"},
    {"UpperCaseHexBesideItself", "A.HEX", kSixteenZeros, LoadStatus::Loaded, "{len}/272",
     "0000/FF00", "A.bin"},
    {"HexSumsDifferByFilling", "sub/x.y.Hex", kClassicHex, LoadStatus::Loaded, "{len}/272",
     "03AF/02AF", "sub/x.y.bin"},
    {"TextFileOnlyLogged", "notes.txt", "hello", LoadStatus::NotImage, "", "", ""},
    {"NoExtension", "firmware", "\x01", LoadStatus::NotImage, "", "", ""},
    {"DotOnlyInFolder", "v1.hex/firmware", "\x01", LoadStatus::NotImage, "", "", ""},
};

class ImageLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ImageLoad, GivesImagePathAndDisplayTexts)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    const std::string chosen = dir.file(c.fileName);
    writeFile(chosen, c.content);
    RecordingBoxes boxes;
    HexConverterState state;
    state.hexDataSum = 0x1234; // left over from an earlier load
    const LoadedImage loaded = LoadImageFile(chosen, kPrevious, state, boxes);
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(loaded.status, c.status);
    std::string size = c.sizeText;
    if (const auto at = size.find("{len}"); at != std::string::npos)
        size.replace(at, 5, std::to_string(c.content.size()));
    EXPECT_EQ(loaded.sizeText, size);
    EXPECT_EQ(loaded.checksumText, c.checksumText);
    EXPECT_EQ(loaded.imagePath, c.imageName.empty() ? kPrevious : dir.file(c.imageName));
    EXPECT_EQ(loaded.logLine, chosen);
}

INSTANTIATE_TEST_SUITE_P(Files, ImageLoad, ::testing::ValuesIn(kLoadCases),
                         [](const auto& tc) { return std::string(tc.param.name); });

// After a failed load there is no image: neither the previous one nor a stale .bin beside
// the bad HEX file may be written by the next Program.
TEST(ImageLoadFailure, FailedConversionLeavesNoImageAndTheStaleBinaryAlone)
{
    TempDir dir;
    writeFile(dir.file("fw.hex"), ":0100000011EF\n" + kEndRecord);
    writeFile(dir.file("fw.bin"), "stale");
    RecordingBoxes boxes;
    HexConverterState state;
    const LoadedImage loaded = LoadImageFile(dir.file("fw.hex"), kPrevious, state, boxes);
    EXPECT_EQ(loaded.status, LoadStatus::Failed);
    EXPECT_EQ(loaded.imagePath, "");
    EXPECT_EQ(loaded.sizeText, "");
    EXPECT_EQ(loaded.checksumText, "");
    EXPECT_EQ(boxes.texts().size(), 1u);
    const Bytes stale = readFile(dir.file("fw.bin"));
    EXPECT_EQ(std::string(stale.begin(), stale.end()), "stale");
}

TEST(ImageLoadFailure, MissingBinaryLeavesNoImage)
{
    TempDir dir;
    RecordingBoxes boxes;
    HexConverterState state;
    const LoadedImage loaded = LoadImageFile(dir.file("gone.bin"), kPrevious, state, boxes);
    EXPECT_EQ(loaded.status, LoadStatus::Failed);
    EXPECT_EQ(loaded.imagePath, "");
    EXPECT_EQ(boxes.texts(),
              std::vector<std::string>{"File : " + dir.file("gone.bin") + " could not be opened!!!"});
}

struct ReadCase {
    const char* name;
    std::uintmax_t length; // a file of this many 0x00 bytes, or none when npos
    bool accepted;
};

constexpr std::uintmax_t kNoFile = ~std::uintmax_t{0};

const ReadCase kReadCases[] = {
    {"Missing", kNoFile, false},
    {"Empty", 0, true},
    {"FullImage", kImageCapacity, true},
    {"OneByteTooLong", kImageCapacity + 1, false},
};

class FirmwareImageRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(FirmwareImageRead, AcceptsUpToFullImage)
{
    const ReadCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.file("img.bin");
    if (c.length != kNoFile) {
        writeFile(path, "");
        std::filesystem::resize_file(path, c.length);
    }
    RecordingBoxes boxes;
    const std::optional<FirmwareImage> image = readFirmwareImage(path, boxes);
    ASSERT_EQ(image.has_value(), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(image->size(), c.length);
        EXPECT_TRUE(boxes.texts().empty());
        return;
    }
    const std::string expected = c.length == kNoFile ? openFailedText(path)
                                                     : tooLargeText(path, c.length);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{expected});
}

INSTANTIATE_TEST_SUITE_P(Lengths, FirmwareImageRead, ::testing::ValuesIn(kReadCases),
                         [](const auto& tc) { return std::string(tc.param.name); });

TEST(FirmwareImageBytes, ByteKIsFileByteKAndErasedBeyond)
{
    TempDir dir;
    writeFile(dir.file("img.bin"), std::string("\x10\x00\x20", 3));
    RecordingBoxes boxes;
    const std::optional<FirmwareImage> image = readFirmwareImage(dir.file("img.bin"), boxes);
    ASSERT_TRUE(image);
    EXPECT_EQ((Bytes{image->byteAt(0), image->byteAt(1), image->byteAt(2), image->byteAt(3)}),
              (Bytes{0x10, 0x00, 0x20, 0xFF}));
    EXPECT_EQ(image->data()[2], 0x20);
}

TEST(ImageMessagesText, AllocationFailureQuotesFullCapacity)
{
    EXPECT_EQ(allocationFailedText(), "Error allocating data buffer memory for 16777216  bytes\n");
}

} // namespace
} // namespace pw::test
