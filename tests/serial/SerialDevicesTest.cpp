// The device listing on a fake /dev and sysfs: what counts as present, and that listing
// opens no device (opening a port can raise DTR and reset the board behind it).
#include "serial/LowLatency.h"
#include "serial/SerialDevices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace pw {
namespace {

namespace fs = std::filesystem;

struct FakeTty {
    const char* name;
    bool device;      // sysfs has a device link for it
    const char* type; // the serial core's "type" attribute, or none
    bool listed;
};

// Two UARTs of eight nodes, one USB adapter, one ACM device and a node without hardware.
const FakeTty kTtys[] = {
    {"ttyS0", true, "4", true},      {"ttyS1", true, "4", true},     {"ttyS2", true, "0", false},
    {"ttyS3", false, nullptr, false}, {"ttyS4", true, nullptr, true}, {"ttyUSB0", true, nullptr, true},
    {"ttyACM0", true, nullptr, true}, {"ttyUSB1", false, nullptr, false},
};

class FakeTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[] = "/tmp/pagewise-devices-XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        top_ = name;
        folders_.dev = root("dev");
        folders_.byId = root("dev/serial/by-id");
        folders_.sysTty = root("sys/class/tty");
        fs::create_directories(folders_.byId);
        for (const FakeTty& tty : kTtys) {
            std::ofstream(folders_.dev + "/" + tty.name) << "not a device";
            const fs::path sys = fs::path(folders_.sysTty) / tty.name;
            fs::create_directories(sys);
            if (tty.device)
                fs::create_directories(sys / "device");
            if (tty.type)
                std::ofstream(sys / "type") << tty.type << "\n";
        }
        fs::create_symlink("../../ttyUSB0", fs::path(folders_.byId) / "usb-FTDI_FT232R_A1B2C3-if00-port0");
    }

    void TearDown() override { fs::remove_all(top_); }
    std::string root(const char* below) const { return (top_ / below).string(); }

    fs::path top_;
    DeviceFolders folders_;
};

TEST_F(FakeTree, ListsByIdFirstThenTheTtysWithHardwareBehindThem)
{
    std::vector<std::string> expected = {folders_.byId + "/usb-FTDI_FT232R_A1B2C3-if00-port0"};
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"})
        for (const FakeTty& tty : kTtys)
            if (tty.listed && std::string(tty.name).rfind(prefix, 0) == 0)
                expected.push_back(folders_.dev + "/" + tty.name);
    EXPECT_EQ(listSerialDevices(folders_), expected);
}

TEST_F(FakeTree, ListingOpensNoDevice)
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folders_.dev.c_str(), IN_OPEN), 0);
    listSerialDevices(folders_);
    alignas(inotify_event) char buffer[4096];
    std::vector<std::string> opened;
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if ((event->mask & IN_ISDIR) == 0 && event->len > 0)
                opened.emplace_back(event->name); // the folder itself is read, its nodes are not
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(watch);
    EXPECT_TRUE(opened.empty()) << "opened " << opened.front();
}

// The adapter's latency timer, found through the stable by-id link as users configure it.
TEST_F(FakeTree, ReadsTheLatencyTimerBehindALinkAndAdvisesWhenItIsSlow)
{
    const fs::path timer = fs::path(folders_.sysTty) / "ttyUSB0" / "device" / "latency_timer";
    const std::string link = folders_.byId + "/usb-FTDI_FT232R_A1B2C3-if00-port0";
    EXPECT_FALSE(latencyTimerMs(link, folders_.sysTty)) << "no timer exposed, nothing to say";
    std::ofstream(timer) << "16\n";
    EXPECT_EQ(latencyTimerMs(link, folders_.sysTty), 16);
    EXPECT_EQ(latencyTimerMs(folders_.dev + "/ttyUSB0", folders_.sysTty), 16);
    const std::string advice = latencyAdvice(link, 16);
    EXPECT_NE(advice.find("16 ms"), std::string::npos) << advice;
    EXPECT_NE(advice.find("60-pagewise.rules"), std::string::npos) << advice;
    EXPECT_NE(advice.find("setserial " + link + " low_latency"), std::string::npos) << advice;
}

// A pseudo-terminal has no low-latency flag: it is left as it is.
TEST(LowLatency, APseudoTerminalIsLeftAlone)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_FALSE(enableLowLatency(slave));
    ::close(slave);
    ::close(master);
}

} // namespace
} // namespace pw
