#pragma once
#include "sim/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace pw::test {

// One end of a pseudo-terminal line, raw: either a new pty whose other end (slavePath) a
// port under test opens, or an existing terminal (the simulator's) opened as the program would.
class LineEnd {
public:
    LineEnd()
    {
        std::string error;
        if (pty_.open(error)) {
            fd_ = pty_.master();
            slave_ = pty_.slavePath();
        }
    }
    explicit LineEnd(const std::string& path, std::uint32_t rate = 9600)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)), slave_(path), ownsFd_(true)
    {
        sim::makeRawLine(fd_, rate);
    }
    ~LineEnd() { hangUp(); }
    LineEnd(const LineEnd&) = delete;
    LineEnd& operator=(const LineEnd&) = delete;

    const std::string& slavePath() const { return slave_; }
    bool send(const std::vector<std::uint8_t>& bytes) const
    {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // What arrives until `count` bytes are in or `wait` has passed.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds wait) const
    {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (got.size() < count) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd pfd{fd_, POLLIN, 0};
            if (left.count() < 0 || ::poll(&pfd, 1, static_cast<int>(left.count()) + 1) <= 0 || !(pfd.revents & POLLIN))
                break;
            std::uint8_t buffer[64];
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    // Closes this end (and a new pty's both ends): opening the slave node then fails.
    void hangUp()
    {
        if (ownsFd_ && fd_ >= 0)
            ::close(fd_);
        pty_.close();
        fd_ = -1;
    }
    // A new pty only: its slave node is left with nothing behind it (EIO on open).
    void dropMasterOnly()
    {
        pty_.closeMaster();
        fd_ = -1;
    }

private:
    sim::Pty pty_;
    int fd_ = -1;
    std::string slave_;
    bool ownsFd_ = false;
};

} // namespace pw::test
