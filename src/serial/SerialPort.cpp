#include "serial/SerialPort.h"

#include "serial/DebugTrace.h"
#include "serial/LineSettings.h"
#include "serial/LowLatency.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace pw {

namespace {

constexpr int kWriteTimeoutMs = 1000;
// How long closing waits for queued output to leave before it restores the saved settings.
constexpr auto kDrainBound = std::chrono::milliseconds(1000);

using Clock = std::chrono::steady_clock;

// 8N1: ten bit times per byte.
Clock::duration wireTime(std::size_t bytes, std::uint32_t rate)
{
    return rate == 0 ? Clock::duration::zero() : std::chrono::microseconds(bytes * 10'000'000ULL / rate);
}

std::string errorText(const char* step, const std::string& reason, std::uint32_t portNumber)
{
    char text[512];
    std::snprintf(text, sizeof text, "WARNING:  %s Failed with the following error: \n%s\nPort: %u\n", step,
                  reason.c_str(), portNumber);
    return text;
}

// Also EIO: a /dev/ttyS node with no UART behind it cannot be opened either.
bool isMissingDevice(int error)
{
    return error == ENOENT || error == ENXIO || error == ENODEV || error == ENOTDIR || error == EIO;
}

} // namespace

struct SerialPort::Impl {
    Impl(MessageBoxes& b, const PortMap& m, const SerialFlagsDriver& f)
        : boxes(b), portMap(m), flagsDriver(f), wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }

    MessageBoxes& boxes;
    const PortMap& portMap;
    const SerialFlagsDriver& flagsDriver;
    const int wakeFd; // write requests and shutdown reach the monitor thread here

    std::mutex lock; // the device, its saved settings and the write buffer
    int fd = -1;
    termios saved{};
    bool haveSaved = false;
    std::vector<std::uint8_t> writeBuffer;
    std::size_t bytesToWrite = 0;
    bool writePending = false;
    Clock::time_point lastWriteEnd{}; // when the last packet was handed to the driver
    std::size_t lastWriteBytes = 0;
    std::string device;     // path of the device now or last opened
    std::string lostDevice; // a device reported as gone; not reported again until it opens
    bool reopenAfterHangUp = false;
    std::optional<int> savedSerialFlags; // the driver's flags before low-latency mode
    std::set<std::string> advised;       // devices whose slow latency timer the user was told of
    std::function<void(const std::string&)> notice;

    std::atomic<ByteSink*> owner{nullptr};
    std::atomic<std::uint32_t> portNumber{0};
    std::atomic<std::uint32_t> baud{0};
    std::atomic<bool> shutdown{false};
    std::atomic<bool> hungUp{false};
    std::atomic<bool> monitoring{false};
    std::thread monitor;
    ManualResetEvent hangUpEvent;

    // What Open has to say is held while `lock` is, and said once it is released: a box waits
    // for a person, and whatever runs meanwhile (a timer, a close) may want the port.
    struct HeldReport {
        std::string caption;
        std::string text;
    };
    std::vector<HeldReport> heldReports;
    std::vector<std::string> heldNotices;

    void report(const char* step, const std::string& reason, bool fromMonitor, const std::string& advice = {})
    {
        const std::string text = errorText(step, reason, portNumber) + "Device: " + device + "\n" + advice;
        if (fromMonitor)
            boxes.post("Application Error", text, BoxIcon::Stop);
        else
            heldReports.push_back({"Application Error", text});
    }

    // Called without `lock`.
    void sayHeld()
    {
        std::vector<HeldReport> reports;
        std::vector<std::string> notices;
        std::function<void(const std::string&)> sayNotice;
        {
            std::lock_guard guard(lock);
            reports.swap(heldReports);
            notices.swap(heldNotices);
            sayNotice = notice;
        }
        for (const HeldReport& held : reports)
            boxes.show(held.caption, held.text, BoxIcon::Stop);
        for (const std::string& text : notices)
            if (sayNotice)
                sayNotice(text);
    }

    void wake()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
    }

    void stopMonitor()
    {
        if (!monitor.joinable())
            return;
        shutdown = true;
        if (ByteSink* sink = owner.load())
            sink->abandonDelivery(); // a hand-over to a busy GUI thread must not hold us
        wake();
        monitor.join();
        monitoring = false;
    }

    void closeDevice()
    {
        if (fd < 0)
            return;
        sendLeftOver();
        drainOutput();
        if (savedSerialFlags)
            flagsDriver.write(fd, *savedSerialFlags);
        savedSerialFlags.reset();
        if (haveSaved)
            ::tcsetattr(fd, TCSANOW, &saved);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd); // also releases the flock
        fd = -1;
        haveSaved = false;
    }

    void sendLeftOver();
    void drainOutput();
    bool openDevice();
    void configure(std::uint32_t rate, char parity, std::uint32_t dataBits, std::uint32_t stopBits);
    void run();
    std::string receivePass(short revents);
    void sendPass();
    bool writeAll(const std::uint8_t* data, std::size_t length);
    bool writeQueued(int purge);
    void adviseOnLatency();
    void markHungUp(const std::string& reason);
};

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
    const std::optional<int> milliseconds = latencyTimerMs(device);
    if (milliseconds && *milliseconds > 1 && notice && advised.insert(device).second)
        heldNotices.push_back(latencyAdvice(device, *milliseconds));
}

bool SerialPort::Impl::openDevice()
{
    // The reopen right after a hang-up says nothing: the user has just been told the device is
    // gone, and its name may already belong to another adapter or program.
    const bool quiet = std::exchange(reopenAfterHangUp, false);
    fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (isMissingDevice(error)) {
            // Once is enough: a port that stays missing is not reported again at every reopen.
            if (device != lostDevice && !quiet)
                heldReports.push_back({kAppCaption, device + " not found"});
            lostDevice = device;
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

SerialPort::SerialPort(MessageBoxes& boxes, const PortMap& portMap, const SerialFlagsDriver& flagsDriver)
    : impl_(std::make_unique<Impl>(boxes, portMap, flagsDriver))
{
}

SerialPort::~SerialPort()
{
    impl_->stopMonitor();
    {
        std::lock_guard guard(impl_->lock);
        impl_->closeDevice();
    }
    ::close(impl_->wakeFd);
}

bool SerialPort::Open(ByteSink* owner, std::uint32_t portNumber, std::uint32_t baud, char parity,
                      std::uint32_t dataBits, std::uint32_t stopBits, std::uint32_t writeBufferSize)
{
    Impl& p = *impl_;
    p.stopMonitor();
    p.owner = owner;
    p.portNumber = portNumber;
    bool opened = false;
    {
        std::lock_guard guard(p.lock);
        p.closeDevice(); // sends what is still queued for the old line first
        p.writeBuffer.assign(writeBufferSize, 0);
        p.writePending = false;
        p.hungUp = false;
        p.hangUpEvent.reset();
        p.device = p.portMap.deviceFor(portNumber);
        opened = p.openDevice();
        if (opened) {
            p.baud = baud;
            p.configure(baud, parity, dataBits, stopBits);
            p.savedSerialFlags = enableLowLatency(p.fd, p.flagsDriver);
            p.adviseOnLatency();
            // Input only: our output was drained when the port was last closed, and flushing
            // output on a pseudo-terminal would throw away bytes its far side has not read yet.
            ::tcflush(p.fd, TCIFLUSH);
        }
    }
    p.sayHeld();
    return opened;
}

bool SerialPort::StartMonitor()
{
    Impl& p = *impl_;
    p.stopMonitor();
    {
        std::lock_guard guard(p.lock);
        if (p.fd < 0)
            return false;
        // Purged here rather than on the new thread, so bytes that arrive after this call
        // returns are never lost to a purge that ran late. Input only, as in Open.
        ::tcflush(p.fd, TCIFLUSH);
    }
    p.shutdown = false;
    p.monitoring = true;
    p.monitor = std::thread([&p] { p.run(); });
    return true;
}

bool SerialPort::Close()
{
    impl_->stopMonitor();
    std::lock_guard guard(impl_->lock);
    impl_->closeDevice();
    return true;
}

bool SerialPort::Write(const std::uint8_t* packet, std::size_t length)
{
    Impl& p = *impl_;
    {
        std::lock_guard guard(p.lock);
        if (length >= p.writeBuffer.size() || p.fd < 0 || p.hungUp)
            return false; // never copied past the buffer
        std::copy(packet, packet + length, p.writeBuffer.begin());
        p.bytesToWrite = length;
        p.writePending = true;
    }
    p.wake();
    return true;
}

std::string SerialPort::pulseModemLine(ModemLine line, Millis width, ManualResetEvent& cancel,
                                       const ModemLinesDriver& driver)
{
    const auto set = [&](bool asserted) -> std::string {
        std::lock_guard guard(impl_->lock);
        return impl_->fd < 0 ? "the port is not open" : driver.set(impl_->fd, line, asserted);
    };
    if (std::string refused = set(false); !refused.empty())
        return refused;
    cancel.waitFor(width); // the line is raised again however the wait ends
    return set(true);
}

bool SerialPort::isOpen() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->fd >= 0;
}

bool SerialPort::monitorRunning() const
{
    return impl_->monitoring;
}

std::uint32_t SerialPort::portNumber() const
{
    return impl_->portNumber;
}

std::uint32_t SerialPort::baud() const
{
    return impl_->baud;
}

ManualResetEvent& SerialPort::hangUpEvent()
{
    return impl_->hangUpEvent;
}

void SerialPort::setNotice(std::function<void(const std::string&)> notice)
{
    std::lock_guard guard(impl_->lock);
    impl_->notice = std::move(notice);
}

void SerialPort::Impl::run()
{
    const int lineFd = fd; // fixed while the monitor runs: Open and Close stop it first
    while (!shutdown) {
        pollfd fds[2] = {{wakeFd, POLLIN, 0}, {hungUp ? -1 : lineFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue; // EINTR
        if (fds[0].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t drained = ::read(wakeFd, &count, sizeof count);
        }
        if (shutdown)
            break;
        if (fds[1].revents != 0) {
            if (const std::string gone = receivePass(fds[1].revents); !gone.empty())
                markHungUp(gone);
        }
        sendPass();
    }
    if (!hungUp)
        debugTrace("normal end...");
}

// Reads what is there and hands each read over whole. Empty, or why the device has gone.
std::string SerialPort::Impl::receivePass(short revents)
{
    std::uint8_t bytes[256];
    for (;;) {
        const ssize_t n = ::read(fd, bytes, sizeof bytes);
        if (n > 0) {
            if (ByteSink* sink = owner.load())
                sink->receiveBytes(bytes, static_cast<std::size_t>(n), portNumber);
            if (shutdown)
                return {};
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return std::strerror(errno);
        // With VMIN=VTIME=0 an empty line also reads 0, so only poll can tell a hang-up.
        if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return "the device hung up";
        return {};
    }
}

void SerialPort::Impl::sendPass()
{
    std::lock_guard guard(lock);
    if (!writePending || fd < 0)
        return;
    // Whatever arrived but was not read belongs to no request of ours: drop it first.
    if (!writeQueued(TCIOFLUSH))
        report("write()", std::strerror(errno), true);
}

bool SerialPort::Impl::writeAll(const std::uint8_t* data, std::size_t length)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, static_cast<int>(left.count()));
    }
    return true;
}

// Reported once; the thread then only waits for its end, and writes are refused at once.
// A worker waiting for a reply wakes on hangUpEvent instead of waiting out its time-out.
void SerialPort::Impl::markHungUp(const std::string& reason)
{
    if (hungUp.exchange(true))
        return;
    debugTrace("abnormal end...");
    {
        std::lock_guard guard(lock);
        lostDevice = device; // the reopen that follows finds it missing: already said
        reopenAfterHangUp = true;
    }
    report("read()", reason, true);
    hangUpEvent.set();
}

} // namespace pw
