#include "serial/LineSettings.h"

#include <cerrno>
#include <cctype>
#include <utility>

namespace pw {

namespace {

constexpr std::pair<std::uint32_t, speed_t> kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

tcflag_t sizeFlag(std::uint32_t dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

} // namespace

speed_t speedFor(std::uint32_t baud)
{
    for (const auto& [rate, speed] : kSpeeds) {
        if (rate == baud)
            return speed;
    }
    return B0;
}

LineSettingsError applyLineSettings(termios& tio, std::uint32_t baud, char parity, std::uint32_t dataBits,
                                    std::uint32_t stopBits)
{
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CLOCAL | CREAD | sizeFlag(dataBits);
    switch (std::toupper(static_cast<unsigned char>(parity))) {
    case 'O': tio.c_cflag |= PARENB | PARODD; break;
    case 'E': tio.c_cflag |= PARENB; break;
    case 'M': tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 'S': tio.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (stopBits >= 2)
        tio.c_cflag |= CSTOPB;
    // Polling reads: the monitor thread waits in poll(), never in read().
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(baud);
    if (speed == B0 || cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return {"cfsetspeed()", speed == B0 ? EINVAL : errno};
    return {};
}

} // namespace pw
