#include "serial/PortMap.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(PortMap, NamesTheDeviceAPortNumberOpens)
{
    pw::PortMap map;
    map.assign(2, "/dev/ttyUSB0");
    map.assign(5, "/dev/serial/by-id/usb-adapter-if00");
    map.assign(5, ""); // unmapped again
    const struct {
        std::uint32_t com;
        const char* device;
    } cases[] = {{1, "/dev/ttyS0"}, {2, "/dev/ttyUSB0"}, {5, "/dev/ttyS4"}, {24, "/dev/ttyS23"}};
    for (const auto& c : cases)
        EXPECT_EQ(map.deviceFor(c.com), c.device) << "COM" << c.com;
    EXPECT_EQ(map.entries().size(), 1u);
}

TEST(PortMap, ReplacingWhileAnotherThreadLooksUpIsSafe)
{
    pw::PortMap map;
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i)
            map.replaceAll({{3, "/dev/ttyACM" + std::to_string(i % 4)}});
    });
    for (int i = 0; i < 2000; ++i) {
        const std::string device = map.deviceFor(3);
        EXPECT_TRUE(device == "/dev/ttyS2" || device.rfind("/dev/ttyACM", 0) == 0) << device;
    }
    writer.join();
    EXPECT_EQ(map.deviceFor(3).rfind("/dev/ttyACM", 0), 0u);
}

} // namespace
