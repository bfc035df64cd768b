#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace pw::test {

// Runs a program with arguments, collecting its stdout and stderr; kills it if it overruns.
// Spawned, not forked by hand: the test processes run threads, and the sanitizers allow no
// threads between a fork and its exec.
struct ChildResult {
    int exitCode = -1; // -1 when it was killed or did not start
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }
    void signal(int number) const;
    // The first line it prints on stdout, without its line feed ("" if none came in time).
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Blocks until the child ends (or the time-out kills it) and returns what it printed.
    ChildResult wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    int pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string outRead_; // stdout taken by readLine, handed on by wait
    std::chrono::steady_clock::time_point started_;
};

// The build's bin folder: $PAGEWISE_BIN (set by ctest), else the test executable's folder.
std::string binFolder();

inline std::string cliProgram()
{
    return binFolder() + "pagewise-cli";
}

} // namespace pw::test
