#include "cli/SyncedLineFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::cli {

namespace {

std::string lastError()
{
    return std::strerror(errno);
}

// flock for the length of one append; released on every way out.
class FileLock {
public:
    explicit FileLock(int fd) : fd_(fd)
    {
        while ((locked_ = ::flock(fd_, LOCK_EX) == 0) == false && errno == EINTR) {
        }
    }
    ~FileLock()
    {
        if (locked_)
            ::flock(fd_, LOCK_UN);
    }
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

} // namespace

SyncedLineFile::~SyncedLineFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string SyncedLineFile::open(const std::string& path)
{
    std::lock_guard guard(mutex_);
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd_ < 0 ? lastError() : std::string();
}

std::string SyncedLineFile::append(const std::string& line)
{
    std::lock_guard guard(mutex_);
    if (fd_ < 0)
        return "the file is not open";
    const FileLock lock(fd_);
    if (!lock.locked())
        return "cannot lock it: " + lastError();
    struct stat before {};
    const bool regular = ::fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
    const std::string whole = line + '\n';
    ssize_t written = 0;
    do {
        written = ::write(fd_, whole.data(), whole.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(whole.size())) {
        std::string reason = written < 0 ? lastError() : "the disk took only part of it";
        if (regular) [[maybe_unused]]
            const int cut = ::ftruncate(fd_, before.st_size);
        return reason;
    }
    if (::fsync(fd_) != 0 && errno != EINVAL) // EINVAL: a device that keeps nothing to flush
        return lastError();
    return {};
}

} // namespace pw::cli
