#pragma once
#include <cstdint>
#include <mutex>
#include <string>

namespace pw {

// An exclusive flock on a file for one scope, released on every way out. It does not keep out
// the threads of its own process: callers hold a mutex as well.
class FileLock {
public:
    explicit FileLock(int fd);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

// Writes `line` and a newline in one call to a file opened with O_APPEND, under a FileLock the
// caller holds, and is on disk (fsync) before it returns; a write that fails part-way is cut
// off again, so no reader ever sees half a line. Empty when it is on disk, else why not.
std::string appendWholeLine(int fd, const std::string& line);

// A text file that only grows by whole lines and keeps what it was given across a crash, a
// full disk and other processes writing the same file (a station's --record).
class SyncedLineFile {
public:
    SyncedLineFile() = default;
    ~SyncedLineFile();
    SyncedLineFile(const SyncedLineFile&) = delete;
    SyncedLineFile& operator=(const SyncedLineFile&) = delete;

    // Opens (creating) the file for appending; empty when it is open, else why not.
    std::string open(const std::string& path);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Appends `line` and a newline; empty when it is on disk, else why not. `lineNumber`, when
    // given, receives the line's number in the file, counting from 1.
    std::string append(const std::string& line, std::uint64_t* lineNumber = nullptr);

private:
    std::uint64_t countLinesTo(std::uint64_t size);

    int fd_ = -1;
    std::string path_;
    std::uint64_t countedBytes_ = 0; // the file's first bytes whose lines are counted
    std::uint64_t countedLines_ = 0;
    std::mutex mutex_;
};

} // namespace pw
