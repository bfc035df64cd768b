// The pagewise executable as a user starts it, Qt's own options among its arguments.
#include "support/ChildProcess.h"
#include "support/SimHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace pw::test {
namespace {

namespace fs = std::filesystem;

ChildResult startWindow(const std::vector<std::string>& args)
{
    ChildProcess child(binFolder() + "pagewise", args);
    return child.wait(std::chrono::seconds(60));
}

struct StartLine {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* out; // expected on stdout (part of it)
    const char* err; // expected on stderr (part of it)
};

class StartUp : public ::testing::TestWithParam<StartLine> {};

TEST_P(StartUp, AcceptsQtsOptionsBesideItsOwn)
{
    const StartLine& c = GetParam();
    const ChildResult run = startWindow(c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StartUp,
    ::testing::Values(
        StartLine{"version", {"-platform", "offscreen", "-style", "fusion", "--version"}, 0, "pagewise 1.04\n", ""},
        StartLine{"help", {"--help"}, 0, "--port <DEVICE>", ""},
        StartLine{"unknown_option", {"-platform", "offscreen", "--no-such-option"}, 1, "",
                  "Unknown option 'no-such-option'"}),
    [](const auto& line) { return std::string(line.param.name); });

// A whole start with Qt's options: the window opens on the simulator, programs, and quits.
TEST(StartUpWindow, RunsWithPlatformAndStyleOptions)
{
    const fs::path dir = fs::temp_directory_path() / ("pagewise-start-" + std::to_string(::getpid()));
    fs::create_directories(dir / "config");
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1); // the developer's settings stay out
    std::ofstream(dir / "fw.bin", std::ios::binary) << std::string(64, '\x5A');
    SimHarness target;
    const ChildResult run = startWindow({"-platform", "offscreen", "-style", "fusion", "--port", target.slavePath(),
                                         "--demo-program", (dir / "fw.bin").string(), "--demo-shot",
                                         (dir / "shot.png").string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "shot.png"));
    EXPECT_EQ(target.sim().flash()[63], 0x5A);
    EXPECT_FALSE(fs::exists(dir / "config" / "Corvane" / "Pagewise.conf")) << "the --port device was saved";
    fs::remove_all(dir);
}

} // namespace
} // namespace pw::test
