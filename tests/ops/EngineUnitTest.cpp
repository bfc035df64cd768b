#include "ops/LogExport.h"
#include "ops/OperationRunner.h"
#include "ops/Progress.h"
#include "support/RecordingBoxes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pw::test {
namespace {

struct DivisorCase {
    std::uint64_t bytes;
    std::uint32_t divisor;
    int high;
};

class ProgressDivisor : public ::testing::TestWithParam<DivisorCase> {};

TEST_P(ProgressDivisor, KeepsTheBarBelow255Steps)
{
    const ProgressPlan plan(GetParam().bytes);
    EXPECT_EQ(plan.divisor, GetParam().divisor);
    EXPECT_EQ(plan.high, GetParam().high);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProgressDivisor,
                         ::testing::Values(DivisorCase{0, 1, 0}, DivisorCase{2039, 1, 254}, DivisorCase{2040, 2, 127},
                                           DivisorCase{0x1000, 3, 170}, DivisorCase{0x10000, 33, 248}));

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class LogExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/pw-log-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        ::setenv("XDG_DATA_HOME", (folder_ + "/data").c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string folder_;
};

struct LogCase {
    std::vector<std::string> lines;
    std::string content;
};

TEST_F(LogExportTest, WritesEveryLineWithCrLfAndReplaces)
{
    const std::vector<LogCase> cases{
        {{"Begin programming.............", "program elapsed time : 1.2 seconds\n"},
         "Begin programming.............\r\nprogram elapsed time : 1.2 seconds\n\r\n"},
        {{}, ""},
        {{"x"}, "x\r\n"},
    };
    for (const LogCase& c : cases) {
        const LogExportResult result = exportLog(c.lines, folder_ + "/");
        ASSERT_TRUE(result.written);
        EXPECT_EQ(result.path, folder_ + "/ISP_log.txt");
        EXPECT_EQ(fileText(result.path), c.content); // each export replaces the one before
    }
}

TEST_F(LogExportTest, FallsBackToUserDataFolder)
{
    const LogExportResult result = exportLog({"line"}, folder_ + "/missing/");
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.path, folder_ + "/data/Corvane/Pagewise/ISP_log.txt");
    EXPECT_EQ(fileText(result.path), "line\r\n");
}

TEST_F(LogExportTest, ReportsWhenNothingIsWritable)
{
    std::ofstream(folder_ + "/data") << "a file where the folder should be";
    const LogExportResult result = exportLog({"line"}, folder_ + "/missing/");
    EXPECT_FALSE(result.written);
    EXPECT_EQ(result.path, folder_ + "/missing/ISP_log.txt");
}

class RunnerTest : public ::testing::Test {
protected:
    RecordingBoxes boxes;
    IspContext ctx{boxes};
};

// A worker that holds until Cancel and lowers busy last, as every worker does.
std::function<void()> holdUntilCancel(IspContext& ctx)
{
    return [&ctx] {
        ctx.cancelEvent.waitFor(std::chrono::seconds(20));
        ctx.busy = 0;
    };
}

TEST_F(RunnerTest, ClaimsBusyAndRefusesSecondStart)
{
    ctx.portOpen = 1;
    ctx.cancelEvent.set(); // a stale Cancel from the run before must not reach the new one
    OperationRunner runner(ctx);
    ASSERT_TRUE(runner.start(holdUntilCancel(ctx)));
    EXPECT_FALSE(ctx.cancelEvent.isSet());
    EXPECT_EQ(ctx.busy, 1);
    EXPECT_FALSE(runner.start([] {}));
    runner.cancel();
    runner.join();
    EXPECT_EQ(ctx.busy, 0);
    EXPECT_FALSE(runner.running());
}

TEST_F(RunnerTest, NeedsOpenPortUnlessTold)
{
    OperationRunner runner(ctx);
    EXPECT_FALSE(runner.start([this] { ctx.busy = 0; }));
    EXPECT_EQ(ctx.busy, 0);
    EXPECT_TRUE(runner.start([this] { ctx.busy = 0; }, false));
    runner.join();
}

TEST_F(RunnerTest, DestructorCancelsAndJoins)
{
    ctx.portOpen = 1;
    {
        OperationRunner runner(ctx);
        ASSERT_TRUE(runner.start(holdUntilCancel(ctx)));
    }
    EXPECT_EQ(ctx.busy, 0);
}

} // namespace
} // namespace pw::test
