// What a station keeps and runs beside the wire: its record file and its fixture's hooks.
#include "line/BoardHook.h"
#include "line/SyncedLineFile.h"
#include "support/Files.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace pw::cli {
namespace {

using namespace std::chrono_literals;

// Each line whole and in the file once: "<writer> <n> <padding>".
void expectWholeLines(const std::string& text, int writers, int perWriter)
{
    ASSERT_TRUE(text.empty() || text.back() == '\n') << "a line was cut off";
    std::map<std::string, int> seen;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_EQ(line.size(), 300u) << line.substr(0, 40);
        EXPECT_EQ(++seen[line.substr(0, line.find(' ', 2))], 1) << line.substr(0, 40);
    }
    if (perWriter > 0) {
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(writers * perWriter));
    }
}

std::string numberedLine(int writer, int n)
{
    std::string line = std::to_string(writer) + " " + std::to_string(n) + " ";
    return line + std::string(300 - line.size(), static_cast<char>('a' + writer));
}

// Writers in processes of their own: forked before this test starts a thread.
pid_t appendInChild(const std::string& path, int writer, int lines)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    SyncedLineFile file;
    if (!file.open(path).empty())
        ::_exit(2);
    for (int n = 0; lines < 0 || n < lines; ++n)
        if (!file.append(numberedLine(writer, n)).empty())
            ::_exit(3);
    ::_exit(0);
}

TEST(SyncedLineFile, ProcessesAppendingAtOnceNeverInterleave)
{
    test::TempDir dir;
    const std::string path = dir.file("records.jsonl");
    std::vector<pid_t> writers;
    for (int writer = 0; writer < 4; ++writer)
        writers.push_back(appendInChild(path, writer, 200));
    for (const pid_t pid : writers) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectWholeLines(test::fileText(path), 4, 200);
}

TEST(SyncedLineFile, AWriterKilledMidWayLeavesOnlyWholeLines)
{
    test::TempDir dir;
    const std::string path = dir.file("records.jsonl");
    const pid_t writer = appendInChild(path, 1, -1);
    while (test::fileText(path).size() < 300 * 200)
        ::usleep(1000);
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    expectWholeLines(test::fileText(path), 1, 0);
}

struct HookRow {
    const char* name;
    const char* command;
    std::chrono::milliseconds limit;
    bool passed;
    const char* status;
    std::string output;
};
using test::PrintTo;

class Hook : public ::testing::TestWithParam<HookRow> {};

TEST_P(Hook, EndsWithItsStatusAndTheTailOfItsOutput)
{
    const HookRow& row = GetParam();
    const auto started = std::chrono::steady_clock::now();
    const HookResult result = runBoardHook(row.command, {{"PAGEWISE_BOARD", "7"}}, row.limit);
    EXPECT_EQ(result.passed, row.passed);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.outputTail, row.output);
    EXPECT_LT(std::chrono::steady_clock::now() - started, row.limit + 2s) << "the limit was not kept";
}

const std::string kLastOutput = std::string(396, 'x') + "END\n"; // the tail a hook's output is cut to

// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, Hook, ::testing::Values(
    HookRow{"passes_and_sees_its_environment", "echo board $PAGEWISE_BOARD; echo err >&2", 10s, true, "exit 0",
        "board 7\nerr\n"},
    HookRow{"fails_with_its_code", "echo no power; exit 3", 10s, false, "exit 3", "no power\n"},
    HookRow{"killed_by_a_signal", "kill -9 $$", 10s, false, "killed by signal 9", ""},
    HookRow{"overruns_and_is_killed", "echo started; sleep 30", 300ms, false, "overran 0 s", "started\n"},
    HookRow{"leaves_a_child_behind_without_waiting_for_it", "sleep 30 & echo left", 10s, true, "exit 0", "left\n"},
    HookRow{"keeps_only_the_tail", "head -c 1000 /dev/zero | tr '\\0' x; echo END", 10s, true, "exit 0",
        kLastOutput}
), test::rowName);
// clang-format on

} // namespace
} // namespace pw::cli
