#include "serial/ModemLines.h"

#include <cerrno>
#include <cstring>
#include <sys/ioctl.h>

namespace pw {

const char* modemLineName(ModemLine line)
{
    return line == ModemLine::Dtr ? "DTR" : "RTS";
}

std::string ModemLinesDriver::set(int fd, ModemLine line, bool asserted) const
{
    const int bits = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(fd, asserted ? TIOCMBIS : TIOCMBIC, &bits) == 0)
        return {};
    return std::strerror(errno);
}

const ModemLinesDriver& kernelModemLines()
{
    static const ModemLinesDriver driver;
    return driver;
}

} // namespace pw
