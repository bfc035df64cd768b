#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace pw::test {
namespace {

std::string simBinary()
{
    if (const char* dir = std::getenv("PAGEWISE_BIN"))
        return std::string(dir) + "/pagewise-sim";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "pagewise-sim").string();
}

// The executable with its stdout on a pipe.
struct SimProcess {
    explicit SimProcess(std::vector<std::string> args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        const std::string binary = simBinary();
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char*> argv{const_cast<char*>(binary.c_str())};
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(binary.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out = fds[0];
    }
    ~SimProcess()
    {
        if (pid > 0 && !reaped) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            ::close(out);
    }
    std::string firstLine(int timeoutMs = 10000)
    {
        std::string line;
        char c = 0;
        pollfd pfd{out, POLLIN, 0};
        while (::poll(&pfd, 1, timeoutMs) > 0 && ::read(out, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    // Exit status, or -1 when it did not end by itself within the time-out.
    int waitExit(int timeoutMs = 10000)
    {
        // Its stdout closes when it exits: wait on that, not on a clock.
        pollfd pfd{out, POLLIN, 0};
        char buffer[256];
        ssize_t got = 1;
        while (got > 0 && ::poll(&pfd, 1, timeoutMs) > 0)
            got = ::read(out, buffer, sizeof buffer);
        if (got != 0)
            return -1; // still running when the time-out passed
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid)
            return -1;
        reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid = -1;
    int out = -1;
    bool reaped = false;
};

TEST(Executable, PrintsThePtyPathLinksItAndEndsCleanlyOnSigterm)
{
    const std::string link = (std::filesystem::temp_directory_path() /
                              ("pw-sim-link-" + std::to_string(::getpid()))).string();
    std::filesystem::remove(link);
    std::filesystem::create_symlink("/nonexistent", link); // a stale link to replace
    SimProcess sim({"--no-pacing", "--link", link});
    ASSERT_GT(sim.pid, 0);
    const std::string path = sim.firstLine();
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path);
    ASSERT_EQ(::kill(sim.pid, SIGTERM), 0);
    EXPECT_EQ(sim.waitExit(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(Executable, RefusesBadArgumentsWithExitTwo)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--bogus"}, {"--fault", "nonsense"}, {"--flash"}, {"--fault", "slow=abc"}}) {
        SimProcess sim(args);
        ASSERT_GT(sim.pid, 0);
        EXPECT_EQ(sim.waitExit(), 2) << args[0];
    }
}

} // namespace
} // namespace pw::test
