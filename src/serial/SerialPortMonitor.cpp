// The monitor thread: every read and write on the device while the port is open.
#include "serial/SerialPortImpl.h"

#include <poll.h>

namespace pw {

namespace {

constexpr int kWriteTimeoutMs = 1000;
constexpr const char* kHungUp = "the device hung up";

// Whether poll reports the line as hung up now.
bool lineHungUp(int lineFd)
{
    pollfd now{lineFd, 0, 0};
    return ::poll(&now, 1, 0) == 1 && (now.revents & POLLHUP) != 0;
}

} // namespace

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
                markHungUp("read()", gone);
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
        if (n < 0 && errno != EAGAIN) {
            // A line that has hung up also fails its reads (EIO); whether the read or poll
            // sees it first is chance, so ask poll once more and give the one reason.
            const int error = errno;
            return lineHungUp(fd) ? kHungUp : std::strerror(error);
        }
        // With VMIN=VTIME=0 an empty line also reads 0, so only poll can tell a hang-up.
        if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
            return kHungUp;
        return {};
    }
}

void SerialPort::Impl::sendPass()
{
    int error = 0;
    {
        std::lock_guard guard(lock);
        if (!writePending || fd < 0)
            return;
        // Whatever arrived but was not read belongs to no request of ours: drop it first.
        if (writeQueued(TCIOFLUSH))
            return;
        error = errno;
    }
    // A line that hung up is said once, by the read that the next poll brings; an adapter
    // pulled mid-write answers EIO (or ENXIO, ENODEV) before poll sees the hang-up.
    const bool gone = error == EIO || error == ENXIO || error == ENODEV;
    if (gone && lineHungUp(fd))
        return;
    if (gone)
        markHungUp("write()", std::strerror(error));
    else
        report("write()", std::strerror(error), true);
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
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, static_cast<int>(left.count()));
    }
    return true;
}

// Reported once; the device is closed (a descriptor of a vanished adapter only ever answers
// errors, and holds its node), the thread then only waits for its end, and writes are
// refused at once. A worker waiting for a reply wakes on hangUpEvent instead of waiting out
// its time-out.
void SerialPort::Impl::markHungUp(const char* step, const std::string& reason)
{
    if (hungUp.exchange(true))
        return;
    debugTrace("abnormal end...");
    {
        std::lock_guard guard(lock);
        closeDevice();       // nothing is sent or drained on a line that hung up
        lostDevice = device; // the reopen that follows finds it missing: already said
        reopenAfterHangUp = true;
    }
    report(step, reason, true); // after the close: whoever sees the box finds the port closed
    hangUpEvent.set();
}

} // namespace pw
