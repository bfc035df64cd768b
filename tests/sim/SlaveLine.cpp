#include "sim/SlaveLine.h"

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

namespace pw::test {

namespace {
speed_t speedOf(std::uint32_t rate)
{
    return rate == 115200 ? B115200 : rate == 57600 ? B57600 : rate == 19200 ? B19200 : B9600;
}
} // namespace

SlaveLine::SlaveLine(const std::string& path, std::uint32_t rate)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0)
        setRate(rate);
}

SlaveLine::~SlaveLine()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void SlaveLine::setRate(std::uint32_t rate)
{
    termios tio{};
    tcgetattr(fd_, &tio);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speedOf(rate));
    cfsetospeed(&tio, speedOf(rate));
    tcsetattr(fd_, TCSANOW, &tio);
}

bool SlaveLine::send(const std::vector<std::uint8_t>& bytes)
{
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<std::uint8_t> SlaveLine::receive(std::size_t count, std::chrono::milliseconds timeout)
{
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0 || !(pfd.revents & POLLIN))
            break;
        std::uint8_t buffer[64];
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

bool SlaveLine::hangsUp(std::chrono::milliseconds timeout)
{
    pollfd pfd{fd_, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    std::uint8_t byte = 0;
    return (pfd.revents & POLLHUP) != 0 || ::read(fd_, &byte, 1) <= 0;
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
