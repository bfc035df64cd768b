// pagewise-sim as a user starts it.
#include "support/ChildProcess.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace pw::test {
namespace {

TEST(Executable, PrintsThePtyPathLinksItAndEndsCleanlyOnSigterm)
{
    const std::string link =
        (std::filesystem::temp_directory_path() / ("pw-sim-link-" + std::to_string(::getpid()))).string();
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent", link); // a stale link to replace
    ChildProcess sim(binFolder() + "pagewise-sim", {"--no-pacing", "--link", link});
    const std::string path = sim.readLine();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.wait().exitCode, 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

struct BadArguments {
    const char* name;
    std::vector<std::string> args;
};
using pw::test::PrintTo;

class RefusedArguments : public ::testing::TestWithParam<BadArguments> {};

TEST_P(RefusedArguments, ExitTwoWithAReason)
{
    ChildProcess sim(binFolder() + "pagewise-sim", GetParam().args);
    const ChildResult result = sim.wait();
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.rfind("pagewise-sim: ", 0), 0u) << result.err;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, RefusedArguments, ::testing::Values(
    BadArguments{"unknown_option", {"--bogus"}},
    BadArguments{"unknown_fault", {"--fault", "nonsense"}},
    BadArguments{"fault_without_value", {"--fault", "silent-after"}},
    BadArguments{"fault_not_a_number", {"--fault", "slow=abc"}},
    BadArguments{"fault_value_not_taken", {"--fault", "wrong-connect=1"}},
    BadArguments{"fault_too_large", {"--fault", "erase-busy=99999999999"}},
    BadArguments{"boards_not_a_number", {"--boards", "five"}}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
