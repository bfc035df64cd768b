#include "line/SyncedLineFile.h"

#include "base/LastError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw {

FileLock::FileLock(int fd) : fd_(fd)
{
    while ((locked_ = ::flock(fd_, LOCK_EX) == 0) == false && errno == EINTR) {
    }
}

FileLock::~FileLock()
{
    if (locked_)
        ::flock(fd_, LOCK_UN);
}

std::string appendWholeLine(int fd, const std::string& line)
{
    struct stat before {};
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
    const std::string whole = line + '\n';
    ssize_t written = 0;
    do {
        written = ::write(fd, whole.data(), whole.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(whole.size())) {
        std::string reason = written < 0 ? lastError() : "the disk took only part of it";
        if (regular) [[maybe_unused]]
            const int cut = ::ftruncate(fd, before.st_size);
        return reason;
    }
    if (::fsync(fd) != 0 && errno != EINVAL) // EINVAL: a device that keeps nothing to flush
        return lastError();
    return {};
}

SyncedLineFile::~SyncedLineFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string SyncedLineFile::open(const std::string& path)
{
    std::lock_guard guard(mutex_);
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno == EACCES) // a file that may be appended to but not read
        fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd_ < 0 ? lastError() : std::string();
}

// Other processes append too: only what they added since the last count is read.
std::uint64_t SyncedLineFile::countLinesTo(std::uint64_t size)
{
    if (size < countedBytes_) // cut back by someone: count afresh
        countedBytes_ = countedLines_ = 0;
    char buffer[65536];
    while (countedBytes_ < size) {
        const ssize_t got = ::pread(fd_, buffer, std::min<std::uint64_t>(sizeof buffer, size - countedBytes_),
                                    static_cast<off_t>(countedBytes_));
        if (got <= 0)
            return 0; // not readable: the number is not known
        countedLines_ += static_cast<std::uint64_t>(std::count(buffer, buffer + got, '\n'));
        countedBytes_ += static_cast<std::uint64_t>(got);
    }
    return countedLines_;
}

std::string SyncedLineFile::append(const std::string& line, std::uint64_t* lineNumber)
{
    std::lock_guard guard(mutex_);
    if (fd_ < 0)
        return "the file is not open";
    const FileLock lock(fd_);
    if (!lock.locked())
        return "cannot lock it: " + lastError();
    struct stat before {};
    const bool regular = ::fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
    const std::uint64_t linesBefore =
        regular && lineNumber ? countLinesTo(static_cast<std::uint64_t>(before.st_size)) : 0;
    if (std::string failure = appendWholeLine(fd_, line); !failure.empty())
        return failure;
    if (lineNumber)
        *lineNumber = regular && (linesBefore > 0 || before.st_size == 0) ? linesBefore + 1 : 0;
    return {};
}

} // namespace pw
