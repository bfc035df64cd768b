#include "serial/SerialPortImpl.h"

namespace pw {

SerialPort::SerialPort(MessageBoxes& boxes, const PortMap& portMap, const SerialFlagsDriver& flagsDriver,
                       std::string sysTty)
    : impl_(std::make_unique<Impl>(boxes, portMap, flagsDriver, std::move(sysTty)))
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
            // Read before low-latency mode, which shows as a timer of 1 ms while it is on.
            const std::optional<int> timerAtOpen = latencyTimerMs(p.device, p.sysTty);
            p.savedSerialFlags = enableLowLatency(p.fd, p.flagsDriver);
            p.adviseOnLatency();
            p.setReplyEndAsEventCharacter(timerAtOpen);
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

void SerialPort::sayNextOpenFailure()
{
    std::lock_guard guard(impl_->lock);
    impl_->lostDevice.clear();
    impl_->reopenAfterHangUp = false;
}

void SerialPort::setNotice(std::function<void(const std::string&)> notice)
{
    std::lock_guard guard(impl_->lock);
    impl_->notice = std::move(notice);
}

} // namespace pw
