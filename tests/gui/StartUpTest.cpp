// The pagewise executable as a user starts it, Qt's own options among its arguments.
#include "support/ScopedEnv.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/SimHarness.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pw::test {
namespace {

namespace fs = std::filesystem;

struct StartRow {
    const char* name;
    std::vector<sim::Fault> faults;
    int exitCode;
    std::uint8_t flashAfter; // the image's last byte as the target holds it then
    const char* err;         // a part of stderr: the box nobody is there to close ("" for none)
};
using pw::test::PrintTo;

class StartUpWindow : public ::testing::TestWithParam<StartRow> {};

// A whole start with Qt's options: the window opens on the simulator, programs, saves its
// picture and quits, also when the run fails and a box would wait for a click.
TEST_P(StartUpWindow, RunsWithPlatformAndStyleOptionsAndQuits)
{
    const StartRow& row = GetParam();
    const TempDir temp;
    const fs::path dir = temp.path().toStdString();
    const ScopedEnv config("XDG_CONFIG_HOME", dir / "config"); // the developer's settings stay out
    writeFile(dir / "fw.bin", std::string(64, '\x5A'));
    SimHarness target(SimHarness::withFaults(row.faults));
    const ChildResult run =
        ChildProcess(binFolder() + "pagewise",
                     {"-platform", "offscreen", "-style", "fusion", "--port", target.slavePath(), "--demo-program",
                      (dir / "fw.bin").string(), "--demo-shot", (dir / "shot.png").string()})
            .wait();
    EXPECT_EQ(run.exitCode, row.exitCode) << run.err;
    EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
    EXPECT_TRUE(fs::exists(dir / "shot.png"));
    EXPECT_EQ(target.sim().flash()[63], row.flashAfter);
    EXPECT_FALSE(fs::exists(dir / "config" / "Corvane" / "Pagewise.conf")) << "the --port device was saved";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Targets, StartUpWindow, ::testing::Values(
    StartRow{"answering", {}, 0, 0x5A, ""},
    StartRow{"silent", {{sim::Fault::Kind::SilentAfter, 0}}, 1, 0xFF, "Wait COM port timeout"}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
