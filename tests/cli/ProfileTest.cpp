// Station profiles as pagewise-cli station --profile reads them: every key taken, the command
// line over the file, and a bad line refused with its file, line and key.
#include "support/Files.h"
#include "support/Tables.h"
#include "cli/CliOptions.h"
#include "line/StationProfile.h"

#include <gtest/gtest.h>

namespace pw::test {
namespace {

using cli::parseArguments;

struct BadProfile {
    const char* name;
    const char* text;
    const char* said; // after "FILE:"
};

class ProfileRefusal : public testing::TestWithParam<BadProfile> {};

TEST_P(ProfileRefusal, NamesTheFileTheLineAndTheKey)
{
    TempDir dir;
    const std::string path = writeFile(dir.file("line.ini"), GetParam().text);
    const auto result = parseArguments({"station", "--profile", path});
    EXPECT_FALSE(result.options);
    EXPECT_EQ(result.error, path + ":" + GetParam().said);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProfileRefusal,
    testing::Values(
        BadProfile{"unknown_key", "[station]\nimage = fw.bin\nbaudrate = 9600\n",
                   "3: baudrate is no key of a station profile"},
        BadProfile{"bad_rate", "; a line\n[station]\nbaud = 1200\n",
                   "3: baud must be 9600, 57600 or 115200, not '1200'"},
        BadProfile{"bad_flag", "[station]\nskip-blank = yes\n", "2: skip-blank must be true or false, not 'yes'"},
        BadProfile{"bad_operation", "[station]\noperation = verify\n",
                   "2: operation must be auto or program, not 'verify'"},
        BadProfile{"empty_port", "[station]\nport = /dev/ttyUSB0,,/dev/ttyUSB1\n",
                   "2: port needs a port between its commas, not '/dev/ttyUSB0,,/dev/ttyUSB1'"},
        BadProfile{"key_twice", "[station]\nretries = 1\nretries = 2\n", "3: retries is given twice"},
        BadProfile{"outside_the_group", "image = fw.bin\n[station]\n", "1: image: keys go in a [station] group"},
        BadProfile{"other_group", "[Ports]\n", "1: [Ports] is no group of a station profile; its keys go in [station]"},
        BadProfile{"no_key_value", "[station]\nimage\n", "2: 'image' is no key = value"}),
    rowName);

// Every key written by the window's Save reads back as it was; the command line wins over the
// file, and relative paths are the profile's folder's.
TEST(StationProfile, EveryKeyReadsBackAndTheCommandLineWins)
{
    TempDir dir;
    StationSetup saved;
    saved.image = dir.file("fw.hex");
    saved.operation = StationOperation::Program;
    saved.ports = {"/dev/ttyUSB0", "usb:A1B2C3"};
    saved.baud = 57600;
    saved.startAddr = 0x1800;
    saved.record = dir.file("records.jsonl");
    saved.retries = 2;
    saved.beforeBoard = "fixture close; sleep 1";
    saved.afterBoard = "label print";
    saved.resetPulse = ResetPulse{ModemLine::Rts, Millis(250)};
    std::string problem;
    saved.serial = parseSerialField("0x7FF0:bcd4", problem);
    saved.serialPool = dir.file("pool.jsonl");
    saved.serialOverwrite = true;
    saved.skipBlank = true;
    const std::string path = dir.file("line.ini");
    ASSERT_EQ(writeStationProfile(path, saved), "");

    const auto read = parseArguments({"station", "--profile", path});
    ASSERT_TRUE(read.options) << read.error;
    for (const std::string& key : stationKeys())
        EXPECT_EQ(stationValue(read.options->setup, key), stationValue(saved, key)) << key;

    const auto over = parseArguments({"--port", "/dev/ttyS4", "--baud", "9600", "station", "auto", "other.bin",
                                      "--profile", path, "--retries", "0"});
    ASSERT_TRUE(over.options) << over.error;
    const StationSetup& setup = over.options->setup;
    EXPECT_EQ(setup.ports, std::vector<std::string>{"/dev/ttyS4"});
    EXPECT_EQ(setup.baud, 9600u);
    EXPECT_EQ(setup.retries, 0u);
    EXPECT_EQ(setup.image, "other.bin");
    EXPECT_EQ(setup.operation, StationOperation::Auto);
    EXPECT_EQ(setup.startAddr, 0x1800u); // not given: the file's

    writeFile(path, "[station]\nimage = images/fw.bin\nrecord = /var/records.jsonl\n");
    const auto relative = parseArguments({"station", "--profile", path});
    ASSERT_TRUE(relative.options) << relative.error;
    EXPECT_EQ(relative.options->setup.image, dir.file("images/fw.bin"));
    EXPECT_EQ(relative.options->setup.record, "/var/records.jsonl");
}

} // namespace
} // namespace pw::test
