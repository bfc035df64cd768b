#include "support/ChildProcess.h"

#include "context/IspContext.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pw::test {

std::string binFolder()
{
    const char* fromCtest = std::getenv("PAGEWISE_BIN");
    return fromCtest ? std::string(fromCtest) + "/" : programFolder();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
    : started_(std::chrono::steady_clock::now())
{
    // stdout comes through a pipe, to be read while the child runs; stderr goes to a file
    // read at the end, so neither can fill up and stall the child. Both close on exec, so a
    // child spawned by another test thread cannot hold this one's stdout open.
    char errName[] = "/tmp/pw-child-err-XXXXXX";
    errFd_ = ::mkostemp(errName, O_CLOEXEC);
    int out[2];
    if (errFd_ < 0 || ::pipe2(out, O_CLOEXEC) != 0)
        return;
    ::unlink(errName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd_, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        pid_ = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    outFd_ = out[0];
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
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(started_ + timeout -
                                                                                std::chrono::steady_clock::now());
        pollfd pfd{outFd_, POLLIN, 0};
        if (left.count() <= 0) {
            ::kill(pid_, SIGKILL);
            break;
        }
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(outFd_, buffer, sizeof buffer);
        if (n <= 0)
            break; // the child closed stdout: it has ended
        result.out.append(buffer, static_cast<std::size_t>(n));
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(errFd_, buffer, sizeof buffer, at);
        if (n <= 0)
            break;
        result.err.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    return result;
}

} // namespace pw::test
