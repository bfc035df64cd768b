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

} // namespace
