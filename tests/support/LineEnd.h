#pragma once
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
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
    LineEnd() : fd_(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)
            return;
        slave_ = ::ptsname(fd_);
        keeper_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); // a reopen never hangs us up
    }
    explicit LineEnd(const std::string& path, std::uint32_t rate = 9600)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)), slave_(path)
    {
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        const speed_t speed = rate == 115200 ? B115200 : rate == 57600 ? B57600 : B9600;
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
        ::tcsetattr(fd_, TCSANOW, &tio);
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
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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
    // A new pty only: closes both ends, or only this one, so that opening the slave node
    // fails with EIO, as a /dev/ttyS node with no UART behind it does.
    void hangUp()
    {
        for (int* fd : {&keeper_, &fd_}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }
    void dropMasterOnly()
    {
        ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    int keeper_ = -1;
    std::string slave_;
};

} // namespace pw::test
