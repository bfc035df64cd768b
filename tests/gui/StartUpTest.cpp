// The pagewise executable as a user starts it, Qt's own options among its arguments.
#include "support/ScopedEnv.h"
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/SimHarness.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace pw::test {
namespace {

namespace fs = std::filesystem;

// A whole start with Qt's options: the window opens on the simulator, programs, and quits.
TEST(StartUpWindow, RunsWithPlatformAndStyleOptions)
{
    const TempDir temp;
    const fs::path dir = temp.path().toStdString();
    const ScopedEnv config("XDG_CONFIG_HOME", dir / "config"); // the developer's settings stay out
    writeFile(dir / "fw.bin", std::string(64, '\x5A'));
    SimHarness target;
    const ChildResult run =
        ChildProcess(binFolder() + "pagewise",
                     {"-platform", "offscreen", "-style", "fusion", "--port", target.slavePath(), "--demo-program",
                      (dir / "fw.bin").string(), "--demo-shot", (dir / "shot.png").string()})
            .wait(std::chrono::minutes(3)); // the product's own pauses, under a sanitizer on a busy machine
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "shot.png"));
    EXPECT_EQ(target.sim().flash()[63], 0x5A);
    EXPECT_FALSE(fs::exists(dir / "config" / "Corvane" / "Pagewise.conf")) << "the --port device was saved";
}

} // namespace
} // namespace pw::test
