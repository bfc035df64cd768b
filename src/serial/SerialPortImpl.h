#pragma once
// The port's inside, shared by the device's own steps (SerialPortDevice.cpp: open, configure,
// write, drain, close with its flags), the monitor thread (SerialPortMonitor.cpp) and the public
// face (SerialPort.cpp).
#include "serial/SerialPort.h"

#include "serial/DebugTrace.h"
#include "serial/EventCharacter.h"
#include "serial/LineSettings.h"
#include "serial/LowLatency.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace pw {

using Clock = std::chrono::steady_clock;

inline std::string errorText(const char* step, const std::string& reason, std::uint32_t portNumber)
{
    char text[512];
    std::snprintf(text, sizeof text, "WARNING:  %s Failed with the following error: \n%s\nPort: %u\n", step,
                  reason.c_str(), portNumber);
    return text;
}

struct SerialPort::Impl {
    Impl(MessageBoxes& b, const PortMap& m, const SerialFlagsDriver& f, std::string tty)
        : boxes(b), portMap(m), flagsDriver(f), sysTty(std::move(tty)), wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    {
    }

    MessageBoxes& boxes;
    const PortMap& portMap;
    const SerialFlagsDriver& flagsDriver;
    const std::string sysTty;
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
    std::optional<int> savedSerialFlags;    // the driver's flags before low-latency mode
    std::set<std::string> advised;          // devices whose slow latency timer the user was told of
    std::set<std::string> eventCharAdvised; // devices whose event character could not be set
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
    void setReplyEndAsEventCharacter(std::optional<int> timerAtOpen);
    void markHungUp(const char* step, const std::string& reason);
};

} // namespace pw
