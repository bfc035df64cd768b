#include "support/LineEnd.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace pw::test {

LineEnd::LineEnd()
{
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0)
        return;
    slave_ = ::ptsname(fd_);
    keeper_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

LineEnd::LineEnd(const std::string& path, std::uint32_t rate) : slave_(path)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0)
        setRate(rate);
}

LineEnd::~LineEnd()
{
    hangUp();
}

bool LineEnd::send(const std::vector<std::uint8_t>& bytes) const
{
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<std::uint8_t> LineEnd::receive(std::size_t count, std::chrono::milliseconds wait) const
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


void LineEnd::setRate(std::uint32_t rate) const
{
    const speed_t speed = rate == 115200 ? B115200 : rate == 57600 ? B57600 : B9600;
    termios tio{};
    ::tcgetattr(fd_, &tio);
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    ::tcsetattr(fd_, TCSANOW, &tio);
}

speed_t LineEnd::lineSpeed() const
{
    termios tio{};
    ::tcgetattr(fd_, &tio);
    return ::cfgetospeed(&tio);
}

void LineEnd::dropMasterOnly()
{
    ::close(fd_);
    fd_ = -1;
}

void LineEnd::hangUp()
{
    for (int* fd : {&keeper_, &fd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

std::vector<std::uint8_t> bytesOf(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    std::istringstream in(hex);
    std::string token;
    while (in >> token)
        bytes.push_back(static_cast<std::uint8_t>(std::strtoul(token.c_str(), nullptr, 16)));
    return bytes;
}

} // namespace pw::test
