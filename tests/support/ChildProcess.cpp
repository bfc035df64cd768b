#include "support/ChildProcess.h"

#include "context/IspContext.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pw::test {

namespace {

void drain(int fd, std::string& into, bool& open)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<std::size_t>(n));
    else if (n == 0)
        open = false;
}

} // namespace

std::string binFolder()
{
    const char* fromCtest = std::getenv("PAGEWISE_BIN");
    return fromCtest ? std::string(fromCtest) + "/" : programFolder();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : started_(std::chrono::steady_clock::now())
{
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

ChildProcess::~ChildProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0)
        ::close(outFd_);
    if (errFd_ >= 0)
        ::close(errFd_);
}

void ChildProcess::signal(int number) const
{
    if (pid_ > 0)
        ::kill(pid_, number);
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    std::string line;
    char c = 0;
    pollfd pfd{outFd_, POLLIN, 0};
    while (::poll(&pfd, 1, static_cast<int>(timeout.count())) > 0 && ::read(outFd_, &c, 1) == 1) {
        outRead_ += c;
        if (c == '\n')
            break;
        line += c;
    }
    return line;
}

ChildResult ChildProcess::wait(std::chrono::milliseconds timeout)
{
    ChildResult result;
    result.out = outRead_;
    if (pid_ <= 0)
        return result;
    const auto deadline = started_ + timeout;
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid_, SIGKILL);
            break;
        }
        pollfd fds[2] = {{outOpen ? outFd_ : -1, POLLIN, 0}, {errOpen ? errFd_ : -1, POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(left.count())) <= 0)
            continue;
        if (fds[0].revents != 0)
            drain(outFd_, result.out, outOpen);
        if (fds[1].revents != 0)
            drain(errFd_, result.err, errOpen);
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace pw::test
