#pragma once
#include "context/IspContext.h"

#include <QProcess>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace pw::test {

struct ChildResult {
    int exitCode = -1; // -1 when it was killed or did not start
    std::string out;
    std::string err;
};

// One of the built programs, started with arguments; killed if it outlives its wait.
class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args)
    {
        QStringList arguments;
        for (const std::string& arg : args)
            arguments << QString::fromStdString(arg);
        process_.start(QString::fromStdString(program), arguments);
        process_.waitForStarted();
    }
    void signal(int number) const
    {
        if (process_.processId() > 0)
            ::kill(static_cast<pid_t>(process_.processId()), number);
    }
    // The first line it prints on stdout, without its line feed ("" if none came in time).
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        while (!process_.canReadLine() && process_.waitForReadyRead(static_cast<int>(timeout.count()))) {
        }
        const std::string line = process_.readLine().toStdString();
        outRead_ += line;
        return line.ends_with('\n') ? line.substr(0, line.size() - 1) : line;
    }
    // Blocks until the child ends (or the time-out kills it) and returns what it printed.
    ChildResult wait(std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        if (!process_.waitForFinished(static_cast<int>(timeout.count())))
            process_.kill();
        process_.waitForFinished();
        const bool ended = process_.exitStatus() == QProcess::NormalExit && process_.error() != QProcess::FailedToStart;
        return {ended ? process_.exitCode() : -1, outRead_ + process_.readAllStandardOutput().toStdString(),
                process_.readAllStandardError().toStdString()};
    }

private:
    QProcess process_;
    std::string outRead_;
};

// The build's bin folder: $PAGEWISE_BIN (set by ctest), else the test executable's folder.
inline std::string binFolder()
{
    const char* fromCtest = std::getenv("PAGEWISE_BIN");
    return fromCtest ? std::string(fromCtest) + "/" : programFolder();
}

} // namespace pw::test
