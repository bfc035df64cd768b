// The serial driver against a pseudo-terminal made here: the test plays the far end.
#include "support/Files.h"
#include "support/LineEnd.h"
#include "support/RecordingBoxes.h"
#include "serial/SerialPort.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/fsuid.h>
#include <unistd.h>

using namespace std::chrono_literals;
using FarEnd = pw::test::LineEnd;

namespace {

constexpr std::uint32_t kCom = 3;

// Records what the port delivers: each byte with its port number and the thread it came on.
class CollectingSink : public pw::ByteSink {
public:
    struct Delivery {
        std::uint8_t byte;
        std::uint32_t port;
        std::thread::id thread;
    };
    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override
    {
        std::lock_guard lock(mutex_);
        got_.push_back({byte, portNumber, std::this_thread::get_id()});
        arrived_.notify_all();
    }
    // What has arrived once `count` bytes are in, or after 5 s.
    std::vector<Delivery> waitFor(std::size_t count)
    {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, 5s, [&] { return got_.size() >= count; });
        return got_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Delivery> got_;
};

// Sinks are declared before it in each test: a port's owner must outlive the port.
struct PortUnderTest {
    explicit PortUnderTest(const std::string& device, const pw::SerialFlagsDriver& flags = pw::kernelSerialFlags())
        : port(boxes, map, flags)
    {
        map.assign(kCom, device);
    }
    bool open(pw::ByteSink* sink, std::uint32_t baud = 9600) { return port.Open(sink, kCom, baud, 'N', 8, 1, 128); }
    bool write(const std::vector<std::uint8_t>& packet) { return port.Write(packet.data(), packet.size()); }
    pw::test::RecordingBoxes boxes;
    pw::PortMap map;
    pw::SerialPort port;
};

// Bytes that arrived before the run are dropped; a packet goes out exactly as given (zeros
// too) if it fits the write buffer; what comes back is delivered in order, on the monitor
// thread, with the port number.
TEST(SerialPort, WritesExactlyAndDeliversInOrderOnTheMonitorThread)
{
    FarEnd far;
    CollectingSink sink;
    PortUnderTest under(far.slavePath());
    std::vector<std::string> notices; // a pty has no latency timer to advise on
    under.port.setNotice([&notices](const std::string& text) { notices.push_back(text); });
    ASSERT_TRUE(under.open(&sink)); // not monitoring yet: what arrives now stays unread
    ASSERT_TRUE(far.send({0xAA, 0xBB, 0xCC}));
    ASSERT_TRUE(under.port.StartMonitor());
    const std::vector<std::uint8_t> packet = {0x0F, 0x09, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF};
    ASSERT_TRUE(under.write(packet));
    EXPECT_EQ(far.receive(packet.size() + 1, 300ms), packet); // one more would be a stray byte
    for (const auto& [length, accepted] : {std::pair{127, true}, std::pair{128, false}, std::pair{4096, false}})
        EXPECT_EQ(under.write(std::vector<std::uint8_t>(static_cast<std::size_t>(length), 0x55)), accepted) << length;
    EXPECT_EQ(far.receive(128, 300ms).size(), 127u) << "a refused packet went out";

    std::vector<std::uint8_t> reply(1000);
    for (std::size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(far.send(reply));
    const std::vector<CollectingSink::Delivery> got = sink.waitFor(reply.size());
    ASSERT_EQ(got.size(), reply.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].byte, reply[i]) << i;
        EXPECT_EQ(got[i].port, kCom);
        EXPECT_TRUE(got[i].thread == got[0].thread && got[i].thread != std::this_thread::get_id());
    }
    EXPECT_TRUE(under.boxes.texts().empty());
    EXPECT_TRUE(notices.empty());
}

// Devices that cannot be opened: the box tells which case it is, and nothing runs.
enum class Blocker { Missing, NoDeviceBehindNode, LockedByAnother, NoPermission };

struct OpenFailure {
    const char* name;
    Blocker blocker;
    std::string caption;
    std::string textStart; // a missing device: the whole text
    std::string textContains;
};
using pw::test::PrintTo;

class SerialOpenFailure : public ::testing::TestWithParam<OpenFailure> {};

TEST_P(SerialOpenFailure, IsReportedAndLeavesThePortClosed)
{
    const OpenFailure& c = GetParam();
    FarEnd far;
    std::string device = far.slavePath();
    int holder = -1;
    if (c.blocker == Blocker::LockedByAnother) {
        holder = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    } else if (c.blocker == Blocker::NoPermission) {
        ASSERT_EQ(::chmod(device.c_str(), 0), 0);
    } else if (c.blocker == Blocker::NoDeviceBehindNode) {
        far.dropMasterOnly();
    } else {
        device = "/dev/pagewise-no-such-tty";
    }
    PortUnderTest under(device);
    // Root ignores file modes: this thread checks files as nobody for the permission case.
    const uid_t fsuid = c.blocker == Blocker::NoPermission ? ::setfsuid(65534) : 0;
    EXPECT_FALSE(under.open(nullptr));
    EXPECT_FALSE(under.open(nullptr)); // a missing device is reported once, any other failure each time
    if (c.blocker == Blocker::NoPermission)
        ::setfsuid(fsuid);
    EXPECT_TRUE(!under.port.isOpen() && !under.port.StartMonitor() && !under.write({0x0F, 0xFF}));
    const auto boxes = under.boxes.boxes();
    ASSERT_EQ(boxes.size(), c.textStart.empty() ? 1u : 2u);
    EXPECT_EQ(boxes[0].caption, c.caption);
    const std::string start = c.textStart.empty() ? device + " not found" : c.textStart;
    EXPECT_EQ(boxes[0].text.rfind(start, 0), 0u) << boxes[0].text;
    EXPECT_EQ(c.textStart.empty(), boxes[0].text == start) << boxes[0].text;
    EXPECT_NE(boxes[0].text.find(c.textContains), std::string::npos) << boxes[0].text;
    if (holder >= 0)
        ::close(holder);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SerialOpenFailure, ::testing::Values(
    OpenFailure{"Missing", Blocker::Missing, pw::kAppCaption, "", ""},
    OpenFailure{"NoDeviceBehindNode", Blocker::NoDeviceBehindNode, pw::kAppCaption, "", ""},
    OpenFailure{"LockedByAnother", Blocker::LockedByAnother, "Application Error",
        "WARNING:  flock() Failed with the following error: \n", "\nPort: 3\n"},
    OpenFailure{"NoPermission", Blocker::NoPermission, "Application Error",
        "WARNING:  open() Failed with the following error: \nPermission denied\nPort: 3\n", "dialout group"}
), pw::test::rowName);
// clang-format on

// Holds the monitor thread like a GUI thread that is busy elsewhere.
class StuckSink : public pw::ByteSink {
public:
    void receiveByte(std::uint8_t, std::uint32_t) override
    {
        std::unique_lock lock(mutex_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return abandoned_; });
    }
    void abandonDelivery() override
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        changed_.notify_all();
    }
    bool waitEntered()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return entered_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool abandoned_ = false;
};

TEST(SerialPort, CloseWhileADeliveryIsPendingDoesNotDeadlock)
{
    FarEnd far;
    StuckSink sink;
    PortUnderTest under(far.slavePath());
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    ASSERT_TRUE(far.send({0x0F, 0x80}));
    ASSERT_TRUE(sink.waitEntered());
    EXPECT_TRUE(under.port.Close()); // returns only because the hand-over was abandoned
    EXPECT_FALSE(under.port.monitorRunning());
    EXPECT_FALSE(under.port.isOpen());
}

// The device behind a link hangs up, and by the reopen its name leads to a line another
// program holds: one report of the hang-up, naming the device; the reopen right after it is
// quiet, a later one says why it fails.
TEST(SerialPort, HangUpIsReportedOnceNamingTheDeviceWakesWaitersAndFailsLaterWrites)
{
    FarEnd far, taken;
    const std::string linkPath = std::filesystem::temp_directory_path() / ("pw-port-" + std::to_string(::getpid()));
    pw::test::pointLink(linkPath, far.slavePath());
    CollectingSink sink;
    PortUnderTest under(linkPath);
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    EXPECT_FALSE(under.port.hangUpEvent().isSet());
    far.hangUp();
    ASSERT_TRUE(under.boxes.waitForCount(1, 5s));
    EXPECT_TRUE(under.port.hangUpEvent().waitFor(5s)); // whoever waits on a reply wakes at once
    EXPECT_EQ(under.boxes.texts()[0].rfind("WARNING:  read() Failed with the following error: \n", 0), 0u);
    EXPECT_NE(under.boxes.texts()[0].find("Device: " + linkPath + "\n"), std::string::npos);
    EXPECT_FALSE(under.write({0x0F, 0xFF}));
    EXPECT_FALSE(under.boxes.waitForCount(2, 200ms)); // a spinning monitor would report again

    const int holder = ::open(taken.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    pw::test::pointLink(linkPath, taken.slavePath());
    EXPECT_FALSE(under.open(&sink));
    EXPECT_EQ(under.boxes.texts().size(), 1u) << under.boxes.texts().back();
    EXPECT_FALSE(under.open(&sink));
    EXPECT_EQ(under.boxes.texts().size(), 2u);
    ::close(holder);
    std::filesystem::remove(linkPath);
}

// The last packet of a run (CmdLeaveIsp) is often written just before the port is closed or
// reopened: it still goes out, whole, before the device is given back its old settings.
TEST(SerialPort, APacketQueuedJustBeforeCloseOrReopenStillGoesOut)
{
    FarEnd far;
    CollectingSink sink;
    PortUnderTest under(far.slavePath());
    const std::vector<std::uint8_t> leave = {0x0F, 0x0E, 0x01, 0x01, 0x01, 0xFF};
    for (int round = 0; round < 50; ++round) {
        ASSERT_TRUE(under.open(&sink, 115200));
        ASSERT_TRUE(under.port.StartMonitor());
        ASSERT_TRUE(under.write(leave));
        if (round % 2 == 0)
            under.port.Close();
        else
            under.open(&sink, 9600);
        ASSERT_EQ(far.receive(leave.size(), 2s), leave) << "round " << round;
    }
    under.port.Close();
    EXPECT_TRUE(under.boxes.texts().empty());
}

// A UART's driver as the port sees it: its flags, and how often they were written.
struct FakeUartFlags : pw::SerialFlagsDriver {
    FakeUartFlags(std::optional<int> before, bool refusing) : flags(before), refuses(refusing) {}
    std::optional<int> read(int) const override { return flags; }
    bool write(int, int value) const override
    {
        ++writes;
        flags = refuses || !flags ? flags : value;
        return !refuses && flags;
    }
    mutable std::optional<int> flags;
    const bool refuses;
    mutable int writes = 0;
};

struct LowLatencyCase {
    const char* name;
    std::optional<int> before; // nothing: a driver without serial flags
    bool refuses;              // the driver will not let this user change them
    bool setWhileOpen;
};

class SerialLowLatency : public ::testing::TestWithParam<LowLatencyCase> {};

// Open, reopen at another rate (as a rate switch does) and close: while open the port is in
// low-latency mode where the driver allows it, and afterwards the driver has its flags back.
// A port that was in that mode already, or could not be put in it, is not written to again.
TEST_P(SerialLowLatency, IsSetWhileOpenAndTheOldFlagsComeBackOnClose)
{
    const LowLatencyCase& c = GetParam();
    FarEnd far;
    FakeUartFlags driver(c.before, c.refuses);
    PortUnderTest under(far.slavePath(), driver);
    for (const std::uint32_t rate : {9600u, 115200u}) {
        ASSERT_TRUE(under.open(nullptr, rate));
        const int expected = c.setWhileOpen ? *c.before | ASYNC_LOW_LATENCY : c.before.value_or(0);
        EXPECT_EQ(driver.flags.value_or(0), expected) << rate;
    }
    const int writesWhileOpen = driver.writes;
    under.port.Close();
    EXPECT_EQ(driver.flags, c.before);
    EXPECT_EQ(driver.writes, c.setWhileOpen ? 4 : writesWhileOpen) << "set and restored once per open";
    EXPECT_TRUE(under.boxes.texts().empty());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Drivers, SerialLowLatency, ::testing::Values(
    LowLatencyCase{"PlainUart", 0, false, true},
    LowLatencyCase{"OtherFlagsKept", ASYNC_SKIP_TEST | ASYNC_SPD_HI, false, true},
    LowLatencyCase{"AlreadyLowLatency", ASYNC_LOW_LATENCY | ASYNC_SKIP_TEST, false, false},
    LowLatencyCase{"RefusedByTheDriver", ASYNC_SKIP_TEST, true, false},
    LowLatencyCase{"NoSerialFlags", std::nullopt, false, false}
), pw::test::rowName);
// clang-format on

// An FTDI adapter's sysfs folder, made here: the event character is set to 0xFF (enabled) as
// the port opens; where the attribute cannot be written the user is told once, unless the
// latency timer at 1 ms shows that the udev rule has set it already; nothing fails either way.
enum class EventAttribute { Writable, ReadOnly, Missing };

struct EventCharCase {
    const char* name;
    EventAttribute attribute;
    int timerAtOpen;
    bool told;
};

class SerialEventChar : public ::testing::TestWithParam<EventCharCase> {};

TEST_P(SerialEventChar, IsSetOnOpenOrSaidOnce)
{
    const EventCharCase& c = GetParam();
    FarEnd far;
    const std::filesystem::path sysTty =
        std::filesystem::temp_directory_path() / ("pw-sys-" + std::to_string(::getpid()));
    const std::filesystem::path folder = sysTty / std::filesystem::canonical(far.slavePath()).filename() / "device";
    std::filesystem::create_directories(folder);
    {
        std::ofstream(folder / "latency_timer") << c.timerAtOpen << "\n";
    }
    if (c.attribute != EventAttribute::Missing) {
        std::ofstream(folder / "event_char").flush();
        ::chmod((folder / "event_char").c_str(), c.attribute == EventAttribute::Writable ? 0200 : 0400);
        ASSERT_EQ(::chown((folder / "event_char").c_str(), 65534, 65534), 0);
    }
    pw::test::RecordingBoxes boxes;
    pw::PortMap map;
    map.assign(kCom, far.slavePath());
    pw::SerialPort port(boxes, map, pw::kernelSerialFlags(), sysTty.string());
    std::vector<std::string> notices;
    port.setNotice([&](const std::string& text) {
        if (text.find("event character") != std::string::npos) // the slow timer has its own notice
            notices.push_back(text);
    });
    ASSERT_EQ(::chmod(far.slavePath().c_str(), 0666), 0);
    const uid_t fsuid = ::setfsuid(65534); // root writes whatever the mode says
    for (int open = 0; open < 2; ++open)
        EXPECT_TRUE(port.Open(nullptr, kCom, 9600, 'N', 8, 1, 128));
    ::setfsuid(fsuid);
    port.Close();
    if (c.attribute == EventAttribute::Writable) {
        std::ifstream written(folder / "event_char");
        std::string value;
        written >> value;
        EXPECT_EQ(value, "511");
    }
    ASSERT_EQ(notices.size(), c.told ? 1u : 0u);
    if (c.told) {
        EXPECT_NE(notices[0].find(far.slavePath() + " sends each reply only when its latency timer runs out"),
                  std::string::npos)
            << notices[0];
    }
    EXPECT_TRUE(boxes.texts().empty());
    std::filesystem::remove_all(sysTty);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Attributes, SerialEventChar, ::testing::Values(
    EventCharCase{"Writable", EventAttribute::Writable, 16, false},
    EventCharCase{"ReadOnly", EventAttribute::ReadOnly, 16, true},
    EventCharCase{"ReadOnlyButSetByTheRule", EventAttribute::ReadOnly, 1, false},
    EventCharCase{"NotAnFtdiAdapter", EventAttribute::Missing, 16, false}
), pw::test::rowName);
// clang-format on

// Boxes that touch the port while they are open, as a timer or a close on the GUI thread may
// while a modal box runs its event loop.
struct BoxesThatUseThePort : pw::MessageBoxes {
    void show(const std::string&, const std::string& text, pw::BoxIcon) override
    {
        stillOpen = port->isOpen();
        port->Close();
        texts.push_back(text);
    }
    pw::SerialPort* port = nullptr;
    bool stillOpen = true;
    std::vector<std::string> texts;
};

// A failed open says why after it has let go of the port: a box shown under the port's lock
// would hang here as soon as it touched the port.
TEST(SerialPort, ReportsAFailedOpenOnlyAfterLettingGoOfThePort)
{
    BoxesThatUseThePort boxes;
    pw::PortMap map;
    map.assign(kCom, "/nonexistent/tty");
    pw::SerialPort port(boxes, map);
    boxes.port = &port;
    auto opened = std::async(std::launch::async, [&] { return port.Open(nullptr, kCom, 9600, 'N', 8, 1, 128); });
    ASSERT_EQ(opened.wait_for(10s), std::future_status::ready) << "the box was shown under the port's lock";
    EXPECT_FALSE(opened.get());
    EXPECT_FALSE(boxes.stillOpen);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"/nonexistent/tty not found"});
}

// A UART's modem lines as the port sets them: each change with the time it was made.
struct FakeModemLines : pw::ModemLinesDriver {
    explicit FakeModemLines(std::string refusal) : refuses(std::move(refusal)) {}
    std::string set(int, pw::ModemLine line, bool asserted) const override
    {
        if (refuses.empty())
            changes.push_back({line, asserted, std::chrono::steady_clock::now()});
        return refuses;
    }
    struct Change {
        pw::ModemLine line;
        bool asserted;
        std::chrono::steady_clock::time_point at;
    };
    const std::string refuses;
    mutable std::vector<Change> changes;
};

// A reset pulse drops the line for its width and raises it again, as an open port holds it; a
// driver that refuses, or a closed port, is said so and the line is left alone.
TEST(SerialPort, PulsesAModemLineForItsWidth)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    pw::ManualResetEvent cancel;
    const FakeModemLines uart("");
    EXPECT_EQ(under.port.pulseModemLine(pw::ModemLine::Rts, 30ms, cancel, uart), "the port is not open");
    ASSERT_TRUE(under.open(nullptr));
    ASSERT_EQ(under.port.pulseModemLine(pw::ModemLine::Rts, 30ms, cancel, uart), "");
    ASSERT_EQ(uart.changes.size(), 2u);
    EXPECT_TRUE(uart.changes[0].line == pw::ModemLine::Rts && !uart.changes[0].asserted);
    EXPECT_TRUE(uart.changes[1].line == pw::ModemLine::Rts && uart.changes[1].asserted);
    EXPECT_GE(uart.changes[1].at - uart.changes[0].at, 30ms);
    EXPECT_EQ(under.port.pulseModemLine(pw::ModemLine::Dtr, 30ms, cancel, FakeModemLines("Input/output error")),
              "Input/output error");
    EXPECT_EQ(under.port.pulseModemLine(pw::ModemLine::Dtr, 30ms, cancel), "Inappropriate ioctl for device")
        << "a pseudo-terminal has no modem lines";
}

} // namespace
