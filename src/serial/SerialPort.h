#pragma once
#include "base/ManualResetEvent.h"
#include "base/MessageBoxes.h"
#include "base/Timings.h"
#include "serial/ByteSink.h"
#include "serial/LowLatency.h"
#include "serial/ModemLines.h"
#include "serial/PortMap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <memory>

namespace pw {

// One serial device with a monitor thread of its own (POSIX termios, poll() and an eventfd).
// Received bytes go to the owner given to the last Open, in order, what each read brought at once.
// Failures are shown through `boxes` at once ("%s not found", "Application Error").
class SerialPort {
public:
    // What the "%s not found" refusal adds for a path that exists but is no serial line.
    static constexpr const char* kNoSerialDevice = " (is not a serial device)";

    // `sysTty`: where the adapters' attributes are (tests stand in for sysfs there).
    SerialPort(MessageBoxes& boxes, const PortMap& portMap, const SerialFlagsDriver& flagsDriver = kernelSerialFlags(),
               std::string sysTty = kSysClassTty);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // True when the device was opened (also when a later configuration step failed and was
    // reported); false when it could not be opened at all.
    bool Open(ByteSink* owner, std::uint32_t portNumber, std::uint32_t baud, char parity, std::uint32_t dataBits,
              std::uint32_t stopBits, std::uint32_t writeBufferSize);
    bool StartMonitor();
    // Stops and joins the monitor thread, sends a packet still queued, lets the output drain
    // (at most 1 s), restores the device's saved settings and closes it. Always true.
    bool Close();
    // Queues one packet for the monitor thread, which purges the line and writes it.
    // Refused (false) when length >= writeBufferSize, when the port is closed or has hung up.
    bool Write(const std::uint8_t* packet, std::size_t length);

    // Drops DTR or RTS (a fixture's reset or power switch) for `width`, or until `cancel` is
    // set, then raises it again: an open port holds both raised. Empty when done, else why
    // not: the driver's refusal, or a closed port.
    std::string pulseModemLine(ModemLine line, Millis width, ManualResetEvent& cancel,
                               const ModemLinesDriver& driver = kernelModemLines());

    bool isOpen() const;
    bool monitorRunning() const;
    std::uint32_t portNumber() const;
    std::uint32_t baud() const;
    // Set by the monitor thread when the device hangs up or a read or write says it has gone
    // (after its one report); the device is closed then, so nothing talks to a dead
    // descriptor. Reset by Open.
    ManualResetEvent& hangUpEvent();
    // The next Open reports why it fails even when the device was reported missing or lost
    // before: a person has asked for the port again and waits for an answer.
    void sayNextOpenFailure();
    // Where advice that is no failure goes (a slow adapter); called from whichever thread opens
    // the port, so it must be safe from any thread. Empty: nothing is said.
    void setNotice(std::function<void(const std::string&)> notice);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pw
