#pragma once
#include <QProcess>

#include <chrono>
#include <string>
#include <vector>

namespace pw::test {

struct ChildResult {
    int exitCode = -1; // -1 when it was killed or did not start
    std::string out;
    std::string err;
};

// One of the built programs, started with arguments; killed if it outlives the test.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    void signal(int number) const;
    // The first line it prints on stdout, without its line feed ("" if none came in time).
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Blocks until the child ends (or the time-out kills it) and returns what it printed.
    ChildResult wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    QProcess process_;
    std::string outRead_;
};

// The build's bin folder: $PAGEWISE_BIN (set by ctest), else the test executable's folder.
std::string binFolder();

} // namespace pw::test
