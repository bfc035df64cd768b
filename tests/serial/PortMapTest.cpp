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

} // namespace
