#include "support/Tables.h"
#include "cli/CliOptions.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

using pw::cli::parseArguments;

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

struct RefusedCase {
    const char* name; // the command line
    const char* errorPart;
};

using pw::test::PrintTo;

class RefusedArguments : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedArguments, AreRefusedWithAReason)
{
    const auto result = parseArguments(split(GetParam().name));
    EXPECT_FALSE(result.options) << GetParam().name;
    EXPECT_NE(result.error.find(GetParam().errorPart), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedArguments,
    testing::Values(
        RefusedCase{"", "no command"}, RefusedCase{"flash a.hex", "unknown command"},
        RefusedCase{"program", "one FILE"}, RefusedCase{"program a.hex b.hex", "one FILE"},
        RefusedCase{"--baud 38400 program a.hex", "--baud"}, RefusedCase{"--baud 115200x program a.hex", "--baud"},
        RefusedCase{"--start-addr 0x900 auto a.hex", "multiple of 0x800"},
        RefusedCase{"--start-addr 0x10800 auto a.hex", "multiple of 0x800"},
        RefusedCase{"--start-addr -2048 auto a.hex", "multiple of 0x800"}, RefusedCase{"erase --pages 4", "FROM:COUNT"},
        RefusedCase{"erase --pages 4:x", "FROM:COUNT"}, RefusedCase{"erase extra", "no operands"},
        RefusedCase{"dump 0", "FROM and COUNT"}, RefusedCase{"dump zero 1", "numbers"},
        RefusedCase{"--port", "Missing value"}, RefusedCase{"--frobnicate program a.hex", "Unknown option"},
        RefusedCase{"--port COM1 --port COM2 -o out.bin dump 0 1", "several ports"},
        RefusedCase{"station verify a.hex", "auto or program"}, RefusedCase{"station auto", "auto or program"},
        RefusedCase{"ports extra", "no operands"}, RefusedCase{"--retries 101 station auto a.hex", "--retries"},
        RefusedCase{"--reset-pulse dsr station auto a.hex", "--reset-pulse"},
        RefusedCase{"--reset-pulse rts:0 station auto a.hex", "--reset-pulse"},
        RefusedCase{"--record r.jsonl program a.hex", "--record is for station"}));

// The options the end-to-end runs leave out.
TEST(CliOptions, ReadsThePortsInOrderAndTheFlags)
{
    const auto result =
        parseArguments(split("--port COM3 --port /dev/pts/7 --start-addr 0x1800 --skip-blank auto fw.hex"));
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->setup.ports, (std::vector<std::string>{"COM3", "/dev/pts/7"}));
    EXPECT_EQ(result.options->setup.startAddr, 0x1800u);
    EXPECT_TRUE(result.options->setup.skipBlank);
    const auto station = parseArguments(split("--retries 2 --reset-pulse rts:250 station program fw.hex"));
    ASSERT_TRUE(station.options) << station.error;
    EXPECT_EQ(station.options->setup.retries, 2u);
    EXPECT_TRUE(station.options->setup.resetPulse->line == pw::ModemLine::Rts);
    EXPECT_EQ(station.options->setup.resetPulse->width.count(), 250);
}

} // namespace
