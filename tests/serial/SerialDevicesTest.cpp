// The device listing on a fake /dev and sysfs: what counts as present, what sysfs tells of
// each device, naming an adapter by its USB serial, and that listing opens no device (opening
// a port can raise DTR and reset the board behind it).
#include "serial/LowLatency.h"
#include "serial/SerialDevices.h"
#include "serial/UsbPortSpec.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>

namespace pw::test {
namespace {

namespace fs = std::filesystem;

struct FakeTty {
    const char* name;
    bool device;      // sysfs has a device link for it
    const char* type; // the serial core's "type" attribute, or none
    bool listed;
    const char* usb = nullptr; // "vid pid serial": a USB device above it
};

// Two UARTs of eight nodes, two adapters of one model, one ACM device and a node without
// hardware.
const FakeTty kTtys[] = {
    {"ttyS0", true, "4", true},
    {"ttyS1", true, "4", true},
    {"ttyS2", true, "0", false},
    {"ttyS3", false, nullptr, false},
    {"ttyS4", true, nullptr, true},
    {"ttyUSB0", true, nullptr, true, "0403 6001 A1B2C3"},
    {"ttyUSB2", true, nullptr, true, "0403 6001 D4E5F6"},
    {"ttyACM0", true, nullptr, true, "2e8a 000a E6614"},
    {"ttyUSB1", false, nullptr, false},
};

class FakeTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        folders_ = {dir_.file("dev"), dir_.file("dev/serial/by-id"), dir_.file("sys/class/tty")};
        fs::create_directories(folders_.byId);
        int bus = 0;
        for (const FakeTty& tty : kTtys) {
            writeFile(folders_.dev + "/" + tty.name, "not a device");
            const fs::path sys = fs::path(folders_.sysTty) / tty.name;
            fs::create_directories(sys);
            if (tty.type)
                writeFile(sys / "type", std::string(tty.type) + "\n");
            if (tty.usb)
                fs::create_directory_symlink(usbDevice(tty, ++bus), sys / "device");
            else if (tty.device)
                fs::create_directories(sys / "device");
        }
        fs::create_symlink("../../ttyUSB0", fs::path(folders_.byId) / "usb-FTDI_FT232R_A1B2C3-if00-port0");
    }

    // The USB device, its interface and, for a usb-serial driver, the port below it, as sysfs
    // lays them out; returns the folder the tty's device link points at.
    fs::path usbDevice(const FakeTty& tty, int bus) const
    {
        std::istringstream fields(tty.usb);
        std::string vid, pid, serial;
        fields >> vid >> pid >> serial;
        const bool acm = std::string(tty.name).starts_with("ttyACM");
        const fs::path device = dir_.file("sys/devices/usb" + std::to_string(bus) + "/1-1");
        for (const auto& [name, value] : {std::pair{"idVendor", vid},
                                          {"idProduct", pid},
                                          {"serial", serial},
                                          {"manufacturer", acm ? "Maker" : "FTDI"},
                                          {"product", acm ? "Probe" : "FT232R USB UART"}})
            writeFile(device / name, value + "\n");
        const fs::path port = acm ? device / "1-1:1.0" : device / "1-1:1.0" / tty.name;
        const fs::path driver = dir_.file(std::string("sys/bus/drivers/") + (acm ? "cdc_acm" : "ftdi_sio"));
        fs::create_directories(port);
        fs::create_directories(driver);
        fs::create_directory_symlink(driver, port / "driver");
        if (!acm)
            writeFile(port / "latency_timer", "16\n");
        return port;
    }

    TempDir dir_;
    DeviceFolders folders_;
};

TEST_F(FakeTree, ListsByIdFirstThenTheTtysWithHardwareBehindThem)
{
    std::vector<std::string> expected = {folders_.byId + "/usb-FTDI_FT232R_A1B2C3-if00-port0"};
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"})
        for (const std::string name : {"ttyUSB0", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS4"})
            if (name.starts_with(prefix))
                expected.push_back(folders_.dev + "/" + name);
    EXPECT_EQ(listSerialDevices(folders_), expected);
}

// Two adapters of one model are told apart by their serial numbers; the one with a by-id
// link is named by it, as that name survives re-plugging.
TEST_F(FakeTree, DescribesEachAdapterAndFindsItByItsUsbSerial)
{
    const std::vector<SerialDeviceInfo> devices = describeSerialDevices(folders_);
    ASSERT_EQ(devices.size(), 6u);
    const SerialDeviceInfo& first = devices[0];
    EXPECT_EQ(first.node, folders_.dev + "/ttyUSB0");
    EXPECT_EQ(first.byId, folders_.byId + "/usb-FTDI_FT232R_A1B2C3-if00-port0");
    EXPECT_EQ(deviceDescription(first), "FTDI FT232R USB UART, usb 0403:6001 serial A1B2C3, driver ftdi_sio, "
                                        "latency timer 16 ms");
    EXPECT_EQ(deviceDescription(devices[2]), "Maker Probe, usb 2e8a:000a serial E6614, driver cdc_acm");
    EXPECT_EQ(deviceDescription(devices[3]), "") << "a UART without a driver link says nothing";
    // The timer as the port reads it at open, through the link users configure.
    EXPECT_EQ(latencyTimerMs(first.byId, folders_.sysTty), 16);
    EXPECT_FALSE(latencyTimerMs(devices[2].node, folders_.sysTty)) << "no timer exposed, nothing to say";
    const std::string advice = latencyAdvice(first.byId, 16);
    EXPECT_NE(advice.find("60-pagewise.rules"), std::string::npos) << advice;
    EXPECT_NE(advice.find("setserial " + first.byId + " low_latency"), std::string::npos) << advice;

    const struct {
        const char* port;
        std::string device; // "" when refused
        const char* errorPart;
    } rows[] = {
        {"usb:A1B2C3", first.byId, ""},
        {"usb:0403:6001:D4E5F6", folders_.dev + "/ttyUSB2", ""},
        {"usb:2E8A:000A", folders_.dev + "/ttyACM0", ""},
        {"usb:0403:6001", "", "matches 2 adapters"},
        {"usb:FFFFFF", "", "matches no adapter"},
        {"usb:0403::A1", "", "is not usb:SERIAL"},
    };
    for (const auto& row : rows) {
        const UsbPortMatch match = resolveUsbPort(row.port, devices);
        EXPECT_EQ(match.device, row.device) << row.port;
        EXPECT_NE(match.error.find(row.errorPart), std::string::npos) << row.port << ": " << match.error;
        if (std::string(row.errorPart).starts_with("matches")) {
            EXPECT_NE(match.error.find(folders_.dev + "/ttyUSB2: FTDI"), std::string::npos) << "lists what is present";
        }
    }
}

TEST_F(FakeTree, ListingOpensNoDevice)
{
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folders_.dev.c_str(), IN_OPEN), 0);
    describeSerialDevices(folders_);
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

} // namespace
} // namespace pw::test
