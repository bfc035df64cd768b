#include "sim/Pty.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace pw::sim {

namespace {

bool fail(std::string& error, const char* what)
{
    error = std::string(what) + ": " + std::strerror(errno);
    return false;
}

speed_t speedOf(std::uint32_t rate)
{
    return rate == 115200 ? B115200 : rate == 57600 ? B57600 : B9600;
}

} // namespace

bool makeRawLine(int fd, std::uint32_t rate)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speedOf(rate));
    cfsetospeed(&tio, speedOf(rate));
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool Pty::open(std::string& error)
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail(error, "posix_openpt");
    char name[256] = {};
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        fail(error, "pseudo-terminal set-up");
        close();
        return false;
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Raw 9600 8N1 until the program sets its own; above all no echo, which would hand the
    // simulator's replies back to it as input.
    if (slave_ < 0 || !makeRawLine(slave_, 9600)) {
        fail(error, "pseudo-terminal slave");
        close();
        return false;
    }
    return true;
}

void Pty::close()
{
    if (slave_ >= 0)
        ::close(slave_);
    slave_ = -1;
    closeMaster();
}

void Pty::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

std::uint32_t Pty::slaveRate() const
{
    termios tio{};
    if (master_ < 0 || tcgetattr(master_, &tio) != 0)
        return 0;
    switch (cfgetospeed(&tio)) {
    case B9600: return 9600;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
    }
}

int Pty::unreadBySlave() const
{
    int count = 0;
    return slave_ >= 0 && ::ioctl(slave_, FIONREAD, &count) == 0 ? count : 0;
}

} // namespace pw::sim
