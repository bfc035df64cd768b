#pragma once
#include <mutex>
#include <string>

namespace pw::cli {

// A text file that only grows by whole lines and keeps what it was given across a crash, a
// full disk and other processes writing the same file (a station's --record). Each line is
// written in one call under an exclusive lock and is on disk (fsync) before append returns;
// a write that fails part-way is cut off again, so no reader ever sees half a line.
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
    // Appends `line` and a newline; empty when it is on disk, else why not.
    std::string append(const std::string& line);

private:
    int fd_ = -1;
    std::string path_;
    std::mutex mutex_; // a lock on the file does not keep out the threads of its own process
};

} // namespace pw::cli
