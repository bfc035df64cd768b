#include "image/ImageLoad.h"
#include "image/ImageMessages.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"
#include "ImageTestFiles.h"

#include <gtest/gtest.h>

namespace pw::test {
namespace {

const std::string kSixteenZeros = ":1001000000000000000000000000000000000000EF\n" + kEndRecord;
const std::string kClassicHex = ":10010000214601360121470136007EFE09D2190140\n" + kEndRecord;
const std::string kPrevious = "/previous/image.bin";

struct LoadCase {
    const char* name;
    std::string fileName; // chosen in the dialog, relative to the test folder; "" for none
    std::string content;
    LoadStatus status;
    std::string sizeText; // "{len}" stands for the chosen file's length
    std::string checksumText;
    std::string imageName; // the image in the folder; "-" for the previous one, "" for none
    const char* boxStart = "";
};
using pw::test::PrintTo;

class ImageLoad : public ::testing::TestWithParam<LoadCase> {};

// What the panel shows and uses after a file is chosen. A failed load leaves no image at all:
// neither the previous one nor a stale .bin beside a bad HEX file may be programmed next.
TEST_P(ImageLoad, GivesImagePathAndDisplayTexts)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    const std::string chosen = dir.file(c.fileName.empty() ? "gone.bin" : c.fileName);
    if (!c.fileName.empty())
        writeFile(chosen, c.content);
    writeFile(dir.file("fw.bin"), "stale");
    RecordingBoxes boxes;
    HexConverterState state;
    state.hexDataSum = 0x1234; // left over from an earlier load
    const LoadedImage loaded = loadImageFile(chosen, kPrevious, state, boxes);
    EXPECT_EQ(loaded.status, c.status);
    std::string size = c.sizeText;
    if (const auto at = size.find("{len}"); at != std::string::npos)
        size.replace(at, 5, std::to_string(c.content.size()));
    EXPECT_EQ(loaded.sizeText, size);
    EXPECT_EQ(loaded.checksumText, c.checksumText);
    EXPECT_EQ(loaded.imagePath, c.imageName == "-" ? kPrevious : c.imageName.empty() ? "" : dir.file(c.imageName));
    EXPECT_EQ(boxes.texts().size(), *c.boxStart ? 1u : 0u);
    if (*c.boxStart) {
        EXPECT_EQ(boxes.texts()[0].rfind(c.boxStart, 0), 0u) << boxes.texts()[0];
    }
    EXPECT_EQ(fileText(dir.file("fw.bin")), "stale");
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, ImageLoad, ::testing::Values(
    LoadCase{"ThreeByteBinary", "three.bin", "\xFF\xFF\x02", LoadStatus::Loaded, "3", "0200", "three.bin"},
    LoadCase{"EmptyBinary", "empty.BIN", "", LoadStatus::Loaded, "0", "0000", "empty.BIN"},
    LoadCase{"UpperCaseHexBesideItself", "A.HEX", kSixteenZeros, LoadStatus::Loaded, "{len}/272", "0000/FF00", "A.bin"},
    LoadCase{"HexSumsDifferByFilling", "sub/x.y.Hex", kClassicHex, LoadStatus::Loaded, "{len}/272", "03AF/02AF",
        "sub/x.y.bin"},
    LoadCase{"TextFileOnlyLogged", "notes.txt", "hello", LoadStatus::NotImage, "", "", "-"},
    LoadCase{"NoExtension", "firmware", "\x01", LoadStatus::NotImage, "", "", "-"},
    LoadCase{"DotOnlyInFolder", "v1.hex/firmware", "\x01", LoadStatus::NotImage, "", "", "-"},
    LoadCase{"BadHexKeepsTheStaleBinary", "fw.hex", ":0100000011EF\n" + kEndRecord, LoadStatus::Failed, "", "", "",
        "File : "},
    LoadCase{"MissingBinary", "", "", LoadStatus::Failed, "", "", "", "File : "}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
