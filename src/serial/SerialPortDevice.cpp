// The device itself: opened for our use alone, configured, written, drained and given back its
// settings and flags on close.
#include "serial/SerialPortImpl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace pw {

namespace {

// How long closing waits for queued output to leave before it restores the saved settings.
constexpr auto kDrainBound = std::chrono::milliseconds(1000);

// 8N1: ten bit times per byte.
Clock::duration wireTime(std::size_t bytes, std::uint32_t rate)
{
    return rate == 0 ? Clock::duration::zero() : std::chrono::microseconds(bytes * 10'000'000ULL / rate);
}

// Also EIO: a /dev/ttyS node with no UART behind it cannot be opened either.
bool isMissingDevice(int error)
{
    return error == ENOENT || error == ENXIO || error == ENODEV || error == ENOTDIR || error == EIO;
}

// A slip of the keyboard (an image file, a folder, /dev/null) is not to be written to: a path is
// a port only when it is a terminal device. Checked before the open where the path shows it
// (opening a FIFO could already disturb whoever holds its other end), and after it for character
// devices that are no terminals. A real serial line whose configuration fails is still a port.
bool isNoSerialPath(const std::string& device)
{
    struct stat info {};
    return ::stat(device.c_str(), &info) == 0 && !S_ISCHR(info.st_mode);
}

bool isNoTerminal(int fd)
{
    termios probe{};
    return ::tcgetattr(fd, &probe) != 0 && errno == ENOTTY;
}

} // namespace

// A packet queued just before the port is closed or reopened (the last CmdLeaveIsp, a rate
// command) still goes out: the monitor thread has stopped before it could send it.
void SerialPort::Impl::sendLeftOver()
{
    if (writePending && !hungUp)
        writeQueued(TCIFLUSH);
}

// Writes the queued packet after dropping the purged queues. False (with errno) when it failed.
bool SerialPort::Impl::writeQueued(int purge)
{
    writePending = false;
    ::tcflush(fd, purge);
    if (!writeAll(writeBuffer.data(), bytesToWrite))
        return false;
    lastWriteEnd = Clock::now();
    lastWriteBytes = bytesToWrite;
    return true;
}

// Restoring the saved settings while bytes are still going out would send their rest at the
// old rate. The driver's queue is polled (tcdrain could wait for ever on a stalled line), then
// the last packet is given its time on the wire: an adapter's FIFO, or the program on the far
// side of a pseudo-terminal, still holds it when the driver's queue is empty.
void SerialPort::Impl::drainOutput()
{
    const Clock::time_point deadline = Clock::now() + kDrainBound;
    int queued = 0;
    while (!hungUp && ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const Clock::time_point onWire = lastWriteEnd + wireTime(lastWriteBytes, baud);
    if (!hungUp)
        std::this_thread::sleep_until(std::min(onWire, deadline));
}

// Said once per device: an adapter whose timer stays above 1 ms even in low-latency mode.
void SerialPort::Impl::adviseOnLatency()
{
    const std::optional<int> milliseconds = latencyTimerMs(device, sysTty);
    if (milliseconds && *milliseconds > 1 && notice && advised.insert(device).second)
        heldNotices.push_back(latencyAdvice(device, *milliseconds));
}

// Left set on close: it cannot be read back, so clearing it could undo what the udev rule set
// for the next user of the adapter. The rule sets the latency timer to 1 ms at the same time,
// so a timer already at 1 ms when the port opens says it has run, and silence is right there.
void SerialPort::Impl::setReplyEndAsEventCharacter(std::optional<int> timerAtOpen)
{
    if (setEventCharacter(device, kReplyEnd, sysTty) != EventCharResult::NotWritable || timerAtOpen == 1)
        return;
    if (notice && eventCharAdvised.insert(device).second)
        heldNotices.push_back(eventCharAdvice(device));
}

bool SerialPort::Impl::openDevice()
{
    // The reopen right after a hang-up says nothing: the user has just been told the device is
    // gone, and its name may already belong to another adapter or program.
    const bool quiet = std::exchange(reopenAfterHangUp, false);
    // Once is enough: a port that stays missing is not reported again at every reopen.
    const auto notFound = [&](const std::string& why) {
        if (device != lostDevice && !quiet)
            heldReports.push_back({kAppCaption, device + " not found" + why});
        lostDevice = device;
    };
    if (isNoSerialPath(device)) {
        notFound(kNoSerialDevice);
        return false;
    }
    fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && isNoTerminal(fd)) {
        ::close(fd);
        fd = -1;
        notFound(kNoSerialDevice);
        return false;
    }
    if (fd < 0) {
        const int error = errno;
        if (isMissingDevice(error)) {
            notFound("");
        } else if (!quiet) {
            const std::string advice =
                error == EACCES ? "To use " + device + ", add your user to the dialout group and log in again.\n" : "";
            report("open()", std::strerror(error), false, advice);
        }
        return false;
    }
    // Exclusive use: TIOCEXCL keeps other users out (not root), the lock keeps us apart.
    ::ioctl(fd, TIOCEXCL);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        fd = -1;
        if (!quiet)
            report("flock()", error == EWOULDBLOCK ? device + " is in use by another program" : std::strerror(error),
                   false);
        return false;
    }
    lostDevice.clear();
    return true;
}

void SerialPort::Impl::configure(std::uint32_t rate, char parity, std::uint32_t dataBits, std::uint32_t stopBits)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        report("tcgetattr()", std::strerror(errno), false);
        return;
    }
    saved = tio;
    haveSaved = true;
    if (const LineSettingsError failed = applyLineSettings(tio, rate, parity, dataBits, stopBits); failed.step) {
        report(failed.step, std::strerror(failed.error), false);
        return;
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        report("tcsetattr()", std::strerror(errno), false);
        return;
    }
    // RTS on, as the boot loader's adapters expect; pseudo-terminals have no modem lines.
    const int rts = TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &rts) != 0 && errno != ENOTTY && errno != EINVAL)
        report("ioctl(TIOCMBIS)", std::strerror(errno), false);
}

} // namespace pw
