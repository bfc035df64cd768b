// Serial numbers per board: placed into the image in memory, taken from a pool that never
// issues a number twice, across crashes and failures.
#include "support/CliFixture.h"
#include "support/Tables.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <fstream>
#include <span>
#include <set>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

std::size_t writeFrames(const std::vector<std::string>& frames)
{
    return static_cast<std::size_t>(
        std::ranges::count_if(frames, [](const std::string& frame) { return frame.starts_with("0F 09 "); }));
}

using SerialFixture = CliFixture;

struct PlaceRow {
    const char* name;
    const char* field;              // --serial
    std::uint64_t number;           // the pool's next number
    std::vector<std::string> extra; // before the command
    const char* command;
    int exitCode;
    std::uint32_t at;  // the field's first address
    const char* bytes; // what the flash holds there afterwards ("": nothing may be sent)
    const char* said;  // a part of stderr
};
using pw::test::PrintTo;

class SerialPlacement : public SerialFixture, public ::testing::WithParamInterface<PlaceRow> {};

// The number lands in flash in its format, the image around it stays, and only the image's
// blocks and the field's own are written: never the blank blocks between.
TEST_P(SerialPlacement, WritesTheFieldOrRefusesBeforeAnyFrame)
{
    const PlaceRow& row = GetParam();
    SimHarness target;
    const std::string poolPath = path("pool.jsonl");
    ASSERT_NO_FATAL_FAILURE(makePool(poolPath, row.number));
    std::vector<std::string> args = {"-q",    "--port", target.slavePath(), "--serial", row.field, "--serial-pool",
                                     poolPath};
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.insert(args.end(), {row.command, write("fw.bin", kImage)});
    const ChildResult run = cli(args);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    EXPECT_NE((run.out + run.err).find(row.said), std::string::npos) << run.out << run.err;
    if (!*row.bytes) {
        EXPECT_TRUE(target.programFrames().empty()) << "a frame was sent for a refused field";
        return;
    }
    const sim::FlashBytes flash = target.sim().flash();
    const auto length = static_cast<std::uint32_t>((std::string(row.bytes).size() + 1) / 3);
    EXPECT_EQ(sim::hexBytes(std::span(flash.data() + row.at, length)), row.bytes);
    const std::uint32_t start = std::string(row.command) == "auto" ? 0x800 : 0;
    std::set<std::uint32_t> blocks;
    for (std::uint32_t a = start; a < kImage.size(); a += 8)
        blocks.insert(a / 8);
    for (std::uint32_t a = row.at; a < row.at + length; ++a)
        blocks.insert(a / 8);
    for (std::uint32_t a = start; a < kImage.size(); ++a) {
        if (a < row.at || a >= row.at + length) {
            ASSERT_EQ(flash[a], static_cast<std::uint8_t>(kImage[a])) << "the image changed at " << a;
        }
    }
    EXPECT_EQ(writeFrames(target.programFrames()), blocks.size()) << "blank blocks were sent";
    EXPECT_EQ(showPool(poolPath).value("used").toArray(), QJsonArray{static_cast<qint64>(row.number)});
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Fields, SerialPlacement, ::testing::Values(
    PlaceRow{"u8", "0x900:u8", 0xA5, {}, "program", 0, 0x900, "A5", ""},
    PlaceRow{"u16le", "0x900:u16le", 0x1234, {}, "program", 0, 0x900, "34 12", ""},
    PlaceRow{"u16be", "0x900:u16be", 0x1234, {}, "program", 0, 0x900, "12 34", ""},
    PlaceRow{"u32le", "0x900:u32le", 0x12345678, {}, "program", 0, 0x900, "78 56 34 12", ""},
    PlaceRow{"u32be", "0x900:u32be", 0x12345678, {}, "program", 0, 0x900, "12 34 56 78", ""},
    PlaceRow{"u64le", "0x900:u64le", 0x0102030405060708, {}, "program", 0, 0x900, "08 07 06 05 04 03 02 01", ""},
    PlaceRow{"u64be_a_block_of_its_own", "0x1FF8:u64be", 0x0102030405060708, {}, "program", 0, 0x1FF8,
        "01 02 03 04 05 06 07 08", ""},
    PlaceRow{"all_ones_still_sent_with_skip_blank", "0x900:u8", 0xFF, {"--skip-blank"}, "program", 0, 0x900, "FF", ""},
    PlaceRow{"bcd3", "0x900:bcd3", 12345, {}, "program", 0, 0x900, "01 23 45", ""},
    PlaceRow{"dec6", "0x900:dec6", 4711, {}, "program", 0, 0x900, "30 30 34 37 31 31", ""},
    PlaceRow{"across_two_blocks", "0x9FE:u32be", 0x12345678, {}, "program", 0, 0x9FE, "12 34 56 78", ""},
    PlaceRow{"right_after_the_image", "0x808:dec4", 42, {}, "program", 0, 0x808, "30 30 34 32", ""},
    PlaceRow{"top_of_flash_with_auto", "0xFFF8:dec8", 42, {"--start-addr", "0x800"}, "auto", 0, 0xFFF8,
        "30 30 30 30 30 30 34 32", ""},
    PlaceRow{"over_image_data_allowed", "0x10:u16le", 0xBEEF, {"--serial-overwrite"}, "program", 0, 0x10, "EF BE", ""},
    PlaceRow{"over_image_data", "0x10:u16le", 1, {}, "program", 3, 0, "",
        "the image holds 0x11 at 0x0010, where the serial number goes"},
    PlaceRow{"outside_the_flash", "0xFFFE:u32le", 1, {}, "program", 3, 0, "",
        "The field at 0xFFFE to 0x10001 lies outside the 0x10000 bytes of flash"},
    PlaceRow{"below_autos_start", "0x7FE:u16le", 1, {"--start-addr", "0x800", "--serial-overwrite"}, "auto", 3, 0, "",
        "lies below the start address 0x800"},
    PlaceRow{"too_large_for_its_format", "0x900:u8", 256, {}, "program", 5, 0, "", "is used up"},
    PlaceRow{"too_many_digits", "0x900:bcd2", 10000, {}, "program", 5, 0, "", "is used up"}
), rowName);
// clang-format on

struct OutcomeRow {
    const char* name;
    std::vector<sim::Fault> faults;
    int exitCode;
    const char* state; // of the number afterwards
    const char* why;
};

class SerialOutcome : public SerialFixture, public ::testing::WithParamInterface<OutcomeRow> {};

// A number is never issued again, whatever became of its board; the next run takes the one after.
TEST_P(SerialOutcome, VoidsTheNumberOfABoardThatDidNotPass)
{
    const OutcomeRow& row = GetParam();
    const std::string poolPath = path("pool.jsonl");
    ASSERT_NO_FATAL_FAILURE(makePool(poolPath, 100, 5));
    // The field is in the image's first block, written before anything can fail after it.
    const std::string image = write("fw.bin", std::string(8, '\xFF') + std::string(0x100, '\x22'));
    const auto programOn = [&](const SimHarness& target) {
        return cli(
            {"-q", "--port", target.slavePath(), "--serial", "0x0:u32le", "--serial-pool", poolPath, "program", image});
    };
    {
        SimHarness target(SimHarness::withFaults(row.faults));
        EXPECT_EQ(programOn(target).exitCode, row.exitCode);
    }
    const QJsonObject state = showPool(poolPath);
    EXPECT_EQ(state.value(row.state).toArray(), QJsonArray{100});
    EXPECT_EQ(state.value("numbers").toArray().at(0).toObject().value("why").toString(), row.why);
    EXPECT_EQ(state.value("next").toInteger(), 105);

    SimHarness target;
    EXPECT_EQ(programOn(target).exitCode, 0);
    EXPECT_EQ(target.sim().flash()[0], 105);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Boards, SerialOutcome, ::testing::Values(
    OutcomeRow{"passes", {}, 0, "used", ""},
    OutcomeRow{"fails_after_its_field_was_written", {{Kind::SilentAfter, 14}}, 2, "void", "timeout"},
    OutcomeRow{"fails_before_anything_was_written", {{Kind::SilentAfter, 2}}, 2, "void", "timeout"}
), rowName);
// clang-format on

// A pool the disk takes nothing more into (a file size limit stands in for a full disk) stops
// the run with exit 5 and the reason, before any frame, and the pool reads back whole.
TEST_F(SerialFixture, APoolThatCannotBeWrittenStopsTheRunBeforeAnyFrame)
{
    const std::string poolPath = path("pool.jsonl");
    ASSERT_NO_FATAL_FAILURE(makePool(poolPath, 1));
    const std::string padding(600, ' '); // past the limit of one 512-byte block
    {
        std::ofstream out(poolPath, std::ios::app);
        out << "{\"event\":\"void\",\"serial\":0,\"why\":\"" << padding << "\"}\n";
    }
    const std::string before = fileText(poolPath);
    SimHarness target;
    const std::string command = "trap '' XFSZ; ulimit -f 1; exec " + cliProgram() + " -q --port " + target.slavePath() +
                                " --serial 0x900:u8 --serial-pool " + poolPath + " program " + write("fw.bin", kImage);
    const ChildResult run = ChildProcess("/bin/sh", {"-c", command}).wait();
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("serial pool " + poolPath + ": cannot write it: File too large"), std::string::npos)
        << run.err;
    EXPECT_TRUE(target.programFrames().empty());
    EXPECT_EQ(fileText(poolPath), before);
}

} // namespace
} // namespace pw::test
