#include "line/SerialPool.h"

#include "base/LastError.h"
#include "line/JsonWriter.h"
#include "line/SyncedLineFile.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

namespace {

constexpr const char* kProcessEndedWhy = "its process ended before the board's outcome";

const std::string& hostName()
{
    static const std::string host = QSysInfo::machineHostName().toStdString();
    return host;
}

// Field 22 of /proc/PID/stat: when the process started, in clock ticks after boot. With the
// pid it names one process, even after the pid has been given to another.
std::optional<std::uint64_t> processStart(std::int64_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const auto nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string field;
    for (int k = 3; k <= 22 && fields >> field; ++k)
        if (k == 22)
            return std::strtoull(field.c_str(), nullptr, 10);
    return std::nullopt;
}

// A reservation of this machine whose process is gone. Another machine's cannot be told.
bool processEnded(const PoolNumber& number)
{
    if (number.host != hostName())
        return false;
    const auto start = processStart(number.pid);
    return !start || (number.pidStart != 0 && *start != number.pidStart);
}

std::uint64_t numberOf(const QJsonObject& object, const char* key, bool& ok)
{
    const QJsonValue value = object.value(QString::fromLatin1(key));
    const qint64 number = value.toInteger(-1);
    ok = ok && value.isDouble() && number >= 0;
    return static_cast<std::uint64_t>(number);
}

std::string textOf(const QJsonObject& object, const char* key)
{
    return object.value(QString::fromLatin1(key)).toString().toStdString();
}

void syncFolder(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

PoolProblem SerialPool::create(const std::string& path, const PoolRange& range)
{
    if (PoolProblem problem = rangeProblem(range))
        return problem;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EEXIST)
        return {"serial pool " + path + " exists already; a pool is never overwritten", PoolFault::Refused};
    if (fd < 0)
        return {"cannot create serial pool " + path + ": " + lastError(), PoolFault::NotKept};
    QJsonObject head{{"event", "pool"},
                     {"v", 1},
                     {"start", static_cast<qint64>(range.start)},
                     {"step", static_cast<qint64>(range.step)},
                     {"time", jsonText(utcTimeText())}};
    if (range.end)
        head.insert("end", static_cast<qint64>(*range.end));
    const std::string failure = appendWholeLine(fd, jsonLine(head));
    ::close(fd);
    if (!failure.empty()) {
        ::unlink(path.c_str()); // a pool without its head is no pool: the next init may try again
        return {"cannot write serial pool " + path + ": " + failure, PoolFault::NotKept};
    }
    syncFolder(path);
    return {};
}

SerialPool::~SerialPool()
{
    if (fd_ >= 0)
        ::close(fd_);
}

PoolProblem SerialPool::failure(const std::string& what) const
{
    return {"serial pool " + path_ + ": " + what, PoolFault::NotKept};
}

PoolProblem SerialPool::open(const std::string& path)
{
    std::lock_guard guard(mutex_);
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd_ < 0 && errno == ENOENT)
        return poolMissing(path);
    if (fd_ < 0)
        return failure("cannot open it: " + lastError());
    return whileLocked([this] { return voidEnded(); });
}

// Reads what was appended since the last look (by anyone), under the lock.
PoolProblem SerialPool::refresh()
{
    struct stat now {};
    if (::fstat(fd_, &now) != 0)
        return failure(lastError());
    const auto size = static_cast<std::uint64_t>(now.st_size);
    if (size < readBytes_)
        return failure("it is shorter than before; it was changed by hand");
    std::string added(size - readBytes_, '\0');
    for (std::uint64_t got = 0; got < added.size();) {
        const ssize_t n = ::pread(fd_, added.data() + got, added.size() - got, static_cast<off_t>(readBytes_ + got));
        if (n <= 0)
            return failure("cannot read it: " + (n < 0 ? lastError() : std::string("it ended early")));
        got += static_cast<std::uint64_t>(n);
    }
    std::size_t begin = 0;
    for (std::size_t end; (end = added.find('\n', begin)) != std::string::npos; begin = end + 1) {
        ++lines_;
        if (PoolProblem problem = applyLine(added.substr(begin, end - begin)))
            return problem;
        readBytes_ += end - begin + 1;
    }
    // A line without its newline is a write that never finished (its writer died holding the
    // lock): nothing was done on its strength, so it is cut off.
    if (begin < added.size() && ::ftruncate(fd_, static_cast<off_t>(readBytes_)) != 0)
        return failure("cannot cut off an unfinished line: " + lastError());
    if (!headed_)
        return failure("it has no head line; it is not a serial pool");
    return {};
}

PoolProblem SerialPool::applyLine(const std::string& line)
{
    QJsonParseError error{};
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(line.data(), static_cast<qsizetype>(line.size())), &error);
    const QJsonObject object = document.object();
    const std::string event = textOf(object, "event");
    PoolProblem damaged = failure("line " + std::to_string(lines_) + " is damaged");
    if (error.error != QJsonParseError::NoError || !document.isObject() || (event == "pool") == headed_)
        return damaged;
    bool ok = true;
    if (event == "pool") {
        headed_ = true;
        state_.range.start = state_.next = numberOf(object, "start", ok);
        state_.range.step = numberOf(object, "step", ok);
        if (object.contains("end"))
            state_.range.end = numberOf(object, "end", ok);
        return ok && state_.range.step > 0 ? PoolProblem{} : damaged;
    }
    const std::uint64_t serial = numberOf(object, "serial", ok);
    if (!ok)
        return damaged;
    // Whatever the journal says of a number, it has been issued: next goes past it, even for an
    // outcome whose reservation is missing.
    if (serial >= state_.next) {
        state_.overflowed = serial > kLargestPoolNumber - state_.range.step;
        state_.next = serial + state_.range.step;
    }
    PoolNumber& number = state_.numbers[serial];
    number.time = textOf(object, "time");
    if (event == "reserved") {
        number.port = textOf(object, "port");
        number.host = textOf(object, "host");
        number.pid = static_cast<std::int64_t>(numberOf(object, "pid", ok));
        number.pidStart = numberOf(object, "pid_start", ok);
        pending_.insert(serial);
        return ok ? PoolProblem{} : damaged;
    }
    if (event != "used" && event != "void")
        return damaged;
    number.state = event == "used" ? PoolNumber::State::Used : PoolNumber::State::Void;
    number.why = textOf(object, "why");
    number.record = textOf(object, "record");
    pending_.erase(serial);
    return {};
}

PoolProblem SerialPool::appendEvent(const std::string& line)
{
    if (const std::string failed = appendWholeLine(fd_, line); !failed.empty())
        return failure("cannot write it: " + failed);
    return refresh();
}

PoolProblem SerialPool::voidEnded()
{
    const std::set<std::uint64_t> pending = pending_;
    for (const std::uint64_t serial : pending) {
        if (!processEnded(state_.numbers[serial]))
            continue;
        const QJsonObject event{{"event", "void"},
                                {"serial", static_cast<qint64>(serial)},
                                {"why", kProcessEndedWhy},
                                {"time", jsonText(utcTimeText())}};
        if (PoolProblem problem = appendEvent(jsonLine(event)))
            return problem;
    }
    return {};
}

PoolProblem SerialPool::usedUp(std::uint64_t largest) const
{
    if (!state_.hasNext(largest))
        return poolUsedUp(path_);
    return {};
}

PoolProblem SerialPool::whileLocked(const std::function<PoolProblem()>& work)
{
    const FileLock lock(fd_);
    if (!lock.locked())
        return failure("cannot lock it: " + lastError());
    if (PoolProblem problem = refresh())
        return problem;
    return work();
}

PoolProblem SerialPool::checkNext(std::uint64_t largest)
{
    std::lock_guard guard(mutex_);
    return whileLocked([&] { return usedUp(largest); });
}

PoolProblem SerialPool::reserve(const std::string& port, std::uint64_t largest, std::uint64_t& number)
{
    std::lock_guard guard(mutex_);
    return whileLocked([&] { return reserveNext(port, largest, number); });
}

PoolProblem SerialPool::reserveNext(const std::string& port, std::uint64_t largest, std::uint64_t& number)
{
    if (PoolProblem problem = voidEnded())
        return problem;
    if (PoolProblem problem = usedUp(largest))
        return problem;
    number = state_.next;
    const QJsonObject event{{"event", "reserved"},
                            {"serial", static_cast<qint64>(number)},
                            {"port", jsonText(port)},
                            {"host", jsonText(hostName())},
                            {"pid", static_cast<qint64>(::getpid())},
                            {"pid_start", static_cast<qint64>(processStart(::getpid()).value_or(0))},
                            {"time", jsonText(utcTimeText())}};
    return appendEvent(jsonLine(event));
}

PoolProblem SerialPool::settle(std::uint64_t number, bool used, const std::string& why, const std::string& record)
{
    QJsonObject event{
        {"event", used ? "used" : "void"}, {"serial", static_cast<qint64>(number)}, {"time", jsonText(utcTimeText())}};
    if (!why.empty())
        event.insert("why", jsonText(why));
    if (!record.empty())
        event.insert("record", jsonText(record));
    std::lock_guard guard(mutex_);
    return whileLocked([&] { return appendEvent(jsonLine(event)); });
}

PoolProblem SerialPool::readState(PoolState& state)
{
    state = this->state();
    return {};
}

PoolState SerialPool::state()
{
    std::lock_guard guard(mutex_);
    return state_;
}

} // namespace pw
