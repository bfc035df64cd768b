#include "support/ChildProcess.h"

#include "context/IspContext.h"

#include <csignal>
#include <cstdlib>

namespace pw::test {

std::string binFolder()
{
    const char* fromCtest = std::getenv("PAGEWISE_BIN");
    return fromCtest ? std::string(fromCtest) + "/" : programFolder();
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args)
{
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    process_.start(QString::fromStdString(program), arguments);
    process_.waitForStarted();
}

void ChildProcess::signal(int number) const
{
    if (process_.processId() > 0)
        ::kill(static_cast<pid_t>(process_.processId()), number);
}

std::string ChildProcess::readLine(std::chrono::milliseconds timeout)
{
    while (!process_.canReadLine() && process_.waitForReadyRead(static_cast<int>(timeout.count()))) {
    }
    const std::string line = process_.readLine().toStdString();
    outRead_ += line;
    return line.empty() || line.back() != '\n' ? line : line.substr(0, line.size() - 1);
}

ChildResult ChildProcess::wait(std::chrono::milliseconds timeout)
{
    ChildResult result;
    if (!process_.waitForFinished(static_cast<int>(timeout.count())))
        process_.kill();
    process_.waitForFinished();
    result.out = outRead_ + process_.readAllStandardOutput().toStdString();
    result.err = process_.readAllStandardError().toStdString();
    if (process_.exitStatus() == QProcess::NormalExit && process_.error() != QProcess::FailedToStart)
        result.exitCode = process_.exitCode();
    return result;
}

} // namespace pw::test
