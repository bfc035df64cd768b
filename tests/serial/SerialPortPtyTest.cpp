// The serial driver against a pseudo-terminal made here: the test plays the far end.
#include "serial/SerialPort.h"
#include "support/RecordingBoxes.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// The far end of the line: a pty master whose slave the port opens.
class FarEnd {
public:
    FarEnd()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::grantpt(master_);
        ::unlockpt(master_);
        slave_ = ::ptsname(master_);
        // Held open so the master never sees a hang-up while the port reopens the slave.
        keeper_ = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }
    ~FarEnd()
    {
        if (keeper_ >= 0)
            ::close(keeper_);
        if (master_ >= 0)
            ::close(master_);
    }
    const std::string& slavePath() const { return slave_; }
    void send(const std::vector<std::uint8_t>& bytes) const
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything that arrives until `count` bytes are in or the wait ends.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds wait = 5s) const
    {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + wait;
        while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0)
                continue;
            std::uint8_t buffer[64];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    speed_t lineSpeed() const
    {
        termios tio{};
        ::tcgetattr(master_, &tio);
        return cfgetospeed(&tio);
    }
    void hangUp()
    {
        ::close(keeper_);
        keeper_ = -1;
        ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int keeper_ = -1;
    std::string slave_;
};

// Collects delivered bytes with the thread that delivered them.
class CollectingSink : public pw::ByteSink {
public:
    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override
    {
        std::lock_guard lock(mutex_);
        bytes_.push_back(byte);
        port_ = portNumber;
        thread_ = std::this_thread::get_id();
        arrived_.notify_all();
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds wait = 5s)
    {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, wait, [&] { return bytes_.size() >= count; });
    }
    std::vector<std::uint8_t> bytes()
    {
        std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::uint32_t port()
    {
        std::lock_guard lock(mutex_);
        return port_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t port_ = 0;
    std::thread::id thread_;
};

struct PortUnderTest {
    explicit PortUnderTest(const std::string& device, std::uint32_t com = 3) : comNumber(com)
    {
        map.assign(com, device);
    }
    bool open(pw::ByteSink* sink, std::uint32_t baud = 9600)
    {
        return port.Open(sink, comNumber, baud, 'N', 8, 1, 1, 128);
    }
    std::uint32_t comNumber;
    pw::test::RecordingBoxes boxes;
    pw::PortMap map;
    pw::SerialPort port{boxes, map};
};

TEST(SerialPort, WritesExactlyTheBytesGivenZerosIncluded)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    CollectingSink sink;
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    const std::vector<std::uint8_t> packet = {0x0F, 0x09, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF};
    ASSERT_TRUE(under.port.Write(packet.data(), packet.size()));
    EXPECT_EQ(far.receive(13, 300ms), packet);
    EXPECT_TRUE(under.boxes.texts().empty());
}

TEST(SerialPort, RefusesPacketsThatDoNotFitTheWriteBuffer)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    ASSERT_TRUE(under.open(nullptr));
    const std::vector<std::uint8_t> big(128, 0x55);
    EXPECT_FALSE(under.port.Write(big.data(), 128));
    EXPECT_TRUE(under.port.Write(big.data(), 127));
}

TEST(SerialPort, DeliversReceivedBytesInOrderWithThePortNumber)
{
    FarEnd far;
    PortUnderTest under(far.slavePath(), 7);
    CollectingSink sink;
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    std::vector<std::uint8_t> sent(300);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i);
    far.send(sent);
    ASSERT_TRUE(sink.waitFor(sent.size()));
    EXPECT_EQ(sink.bytes(), sent);
    EXPECT_EQ(sink.port(), 7u);
}

TEST(SerialPort, UnreadInputIsDroppedBeforeAPacketGoesOut)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    CollectingSink sink;
    ASSERT_TRUE(under.open(&sink)); // not monitoring yet: what arrives now stays unread
    far.send({0xAA, 0xBB, 0xCC});
    ASSERT_TRUE(under.port.StartMonitor());
    const std::uint8_t packet[] = {0x0F, 0x00, 0xFF};
    ASSERT_TRUE(under.port.Write(packet, sizeof packet));
    ASSERT_EQ(far.receive(3).size(), 3u);
    far.send({0x0F, 0x80});
    ASSERT_TRUE(sink.waitFor(2));
    EXPECT_EQ(sink.bytes(), (std::vector<std::uint8_t>{0x0F, 0x80}));
}

TEST(SerialPort, MissingDeviceIsReportedByNameAndNothingRuns)
{
    PortUnderTest under("/dev/pagewise-no-such-tty");
    EXPECT_FALSE(under.open(nullptr));
    EXPECT_EQ(under.boxes.texts(), std::vector<std::string>{"/dev/pagewise-no-such-tty not found"});
    EXPECT_FALSE(under.port.StartMonitor());
    EXPECT_FALSE(under.port.monitorRunning());
    const std::uint8_t packet[] = {0x0F, 0xFF};
    EXPECT_FALSE(under.port.Write(packet, sizeof packet));
    EXPECT_TRUE(under.port.Close());
}

TEST(SerialPort, ADeviceInUseIsReportedAsBusyNotMissing)
{
    FarEnd far;
    const int holder = ::open(far.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    PortUnderTest under(far.slavePath());
    EXPECT_FALSE(under.open(nullptr));
    ASSERT_EQ(under.boxes.boxes().size(), 1u);
    const auto box = under.boxes.boxes()[0];
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.text.rfind("WARNING:  flock() Failed with the following error: \n", 0), 0u) << box.text;
    EXPECT_NE(box.text.find("in use"), std::string::npos) << box.text;
    EXPECT_NE(box.text.find("\nPort: 3\n"), std::string::npos) << box.text;
    ::close(holder);
}

TEST(SerialPort, ReopenWhileMonitoringAppliesTheNewRateAndKeepsDelivering)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    CollectingSink sink;
    ASSERT_TRUE(under.open(&sink, 9600));
    ASSERT_TRUE(under.port.StartMonitor());
    EXPECT_EQ(far.lineSpeed(), B9600);
    ASSERT_TRUE(under.open(&sink, 115200));
    EXPECT_FALSE(under.port.monitorRunning());
    EXPECT_EQ(far.lineSpeed(), B115200);
    ASSERT_TRUE(under.port.StartMonitor());
    far.send({0x0F});
    EXPECT_TRUE(sink.waitFor(1));
}

// A sink that holds the monitor thread, like a GUI thread that is busy elsewhere.
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
    PortUnderTest under(far.slavePath());
    StuckSink sink;
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    far.send({0x0F, 0x80});
    ASSERT_TRUE(sink.waitEntered());
    EXPECT_TRUE(under.port.Close()); // joins the monitor: returns only because the hand-over was abandoned
    EXPECT_FALSE(under.port.monitorRunning());
    EXPECT_FALSE(under.port.isOpen());
}

TEST(SerialPort, HangUpIsReportedOnceAndLaterWritesFailAtOnce)
{
    FarEnd far;
    PortUnderTest under(far.slavePath());
    CollectingSink sink;
    ASSERT_TRUE(under.open(&sink));
    ASSERT_TRUE(under.port.StartMonitor());
    far.hangUp();
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (under.boxes.texts().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms); // the report comes from the monitor thread
    ASSERT_EQ(under.boxes.boxes().size(), 1u);
    EXPECT_EQ(under.boxes.boxes()[0].text.rfind("WARNING:  read() Failed with the following error: \n", 0), 0u);
    const std::uint8_t packet[] = {0x0F, 0xFF};
    EXPECT_FALSE(under.port.Write(packet, sizeof packet));
    std::this_thread::sleep_for(100ms); // a spinning monitor would report again meanwhile
    EXPECT_EQ(under.boxes.boxes().size(), 1u);
    EXPECT_TRUE(under.port.Close());
}

TEST(SerialPort, CloseOnAClosedPortChangesNothing)
{
    PortUnderTest under("/dev/null-not-opened");
    EXPECT_TRUE(under.port.Close());
    EXPECT_TRUE(under.port.Close());
    EXPECT_TRUE(under.boxes.texts().empty());
}

} // namespace
