#include "line/BoardHook.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pw {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kTailBytes = 400;

std::vector<std::string> environmentWith(const std::vector<std::pair<std::string, std::string>>& added)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& [key, value] : added)
            replaced |= key == name;
        if (!replaced)
            entries.push_back(text);
    }
    for (const auto& [key, value] : added)
        entries.push_back(key + "=" + value);
    return entries;
}

std::string statusText(int status)
{
    if (WIFEXITED(status))
        return "exit " + std::to_string(WEXITSTATUS(status));
    return "killed by signal " + std::to_string(WTERMSIG(status));
}

void keepTail(std::string& tail, const char* bytes, std::size_t count)
{
    tail.append(bytes, count);
    if (tail.size() > kTailBytes)
        tail.erase(0, tail.size() - kTailBytes);
}

pid_t spawnShell(const std::string& command, const std::vector<std::string>& environment, int outputFd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outputFd, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: an overrun is killed with whatever it started, and Ctrl-C at the
    // station's terminal is the station's to handle, not the hook's.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, "/bin/sh", &actions, &attributes, const_cast<char**>(argv), envp.data()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

} // namespace

HookResult runBoardHook(const std::string& command, const std::vector<std::pair<std::string, std::string>>& environment,
                        std::chrono::milliseconds limit)
{
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0)
        return {false, "could not start", {}};
    const pid_t pid = spawnShell(command, environmentWith(environment), output[1]);
    ::close(output[1]);
    if (pid < 0) {
        ::close(output[0]);
        return {false, "could not start", {}};
    }
    HookResult result;
    const Clock::time_point deadline = Clock::now() + limit;
    int status = 0;
    bool ended = false;
    bool outputOpen = true;
    // Until the shell has ended and its output is drained; a child it left behind holding the
    // output open does not keep the station waiting.
    while (!ended || outputOpen) {
        if (Clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            if (!ended)
                ::waitpid(pid, &status, 0);
            ::close(output[0]);
            return {false, "overran " + std::to_string(limit.count() / 1000) + " s", result.outputTail};
        }
        pollfd pfd{output[0], POLLIN, 0};
        if (outputOpen && ::poll(&pfd, 1, 50) > 0) {
            char buffer[1024];
            const ssize_t got = ::read(output[0], buffer, sizeof buffer);
            if (got > 0)
                keepTail(result.outputTail, buffer, static_cast<std::size_t>(got));
            else
                outputOpen = false;
        } else if (ended) {
            break; // nothing more came after the shell ended
        } else if (!outputOpen) {
            ::poll(nullptr, 0, 50);
        }
        if (!ended && ::waitpid(pid, &status, WNOHANG) == pid)
            ended = true;
    }
    ::close(output[0]);
    result.status = statusText(status);
    result.passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

} // namespace pw
