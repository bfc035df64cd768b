#include "settings/Settings.h"
#include "support/Files.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pw::test {
namespace {

using pw::test::PrintTo;

// How the program writes its group, and how a person is likely to type it.
const std::string kStoredGroup = "[Software%5CCorvane%5CPagewise%5CHZ41C120]\n";
const std::string kTypedGroup = "[Software\\Corvane\\Pagewise\\HZ41C120]\n";

class SettingsFixture : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir_.file(name); }
    SettingsStore store() const { return SettingsStore(path("user/Pagewise.conf"), path("system.conf")); }
    void writeUser(const std::string& text) const { writeFile(path("user/Pagewise.conf"), text); }
    IspContext& loaded()
    {
        ctx_ = std::make_unique<IspContext>(boxes_);
        loadSettings(*ctx_, store());
        return *ctx_;
    }

    TempDir dir_;
    RecordingBoxes boxes_;
    std::unique_ptr<IspContext> ctx_;
};

struct StoredCase {
    const char* name; // the stored line
    std::uint8_t comPort;
    std::uint32_t baudRate;
    std::uint32_t ispStartAddr;
};

class StoredValues : public SettingsFixture, public ::testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValues, LoadWithTheirClamps)
{
    writeUser(kStoredGroup + GetParam().name + "\n");
    const IspContext& ctx = loaded();
    EXPECT_EQ(ctx.comPort, GetParam().comPort);
    EXPECT_EQ(ctx.baudRate, GetParam().baudRate);
    EXPECT_EQ(ctx.ispStartAddr, GetParam().ispStartAddr);
}

INSTANTIATE_TEST_SUITE_P(
    Clamps, StoredValues,
    ::testing::Values(
        StoredCase{"", 1, 9600, 0}, StoredCase{"COMPort=257", 1, 9600, 0}, StoredCase{"COMPort=24", 24, 9600, 0},
        StoredCase{"COMPort=259", 3, 9600, 0}, StoredCase{"COMPort=COM3", 1, 9600, 0},
        StoredCase{"BaudRate=38400", 1, 9600, 0}, StoredCase{"BaudRate=115200", 1, 115200, 0},
        StoredCase{"BaudRate=4294977296", 1, 9600, 0}, // 9600 + 2^32 must not wrap to 9600
        StoredCase{"ISP%20Start%20Addr=65536", 1, 9600, 0x10000}, StoredCase{"ISP%20Start%20Addr=65537", 1, 9600, 0},
        StoredCase{"ISP%20Start%20Addr=0x800", 1, 9600, 0x800}, StoredCase{"ISP%20Start%20Addr=2048 ", 1, 9600, 2048}));

// As a person may type it, after the byte order mark some editors write.
TEST_F(SettingsFixture, AGroupTypedByHandIsReadAndThenReplacedBySaving)
{
    writeUser("\xEF\xBB\xBF" + kTypedGroup + "COMPort=5\nISP Start Addr=512\n");
    EXPECT_TRUE(store().problems().empty());
    IspContext& ctx = loaded();
    EXPECT_EQ(ctx.comPort, 5);
    EXPECT_EQ(ctx.ispStartAddr, 512u);

    ctx.comPort = 9;
    SettingsStore writer = store();
    savePort(ctx, writer);
    EXPECT_EQ(loaded().comPort, 9);
    EXPECT_EQ(ctx_->ispStartAddr, 512u);
}

// The user's file overrides the machine's defaults, value by value and port by port, and
// writes go to the user's file only.
TEST_F(SettingsFixture, TheUserFileOverridesTheMachineDefaultsAndTakesTheWrites)
{
    const std::string system =
        kStoredGroup + "COMPort=4\nBaudRate=57600\n\n[Ports]\nCOM4=/dev/ttyUSB0\nCOM5=/dev/ttyUSB1\n";
    writeFile(path("system.conf"), system);
    writeUser(kStoredGroup + "COMPort=6\n\n[Ports]\nCOM5=/dev/ttyACM0\n");
    const IspContext& ctx = loaded();
    EXPECT_EQ(ctx.comPort, 6);
    EXPECT_EQ(ctx.baudRate, 57600u);
    const std::map<std::uint32_t, std::string> expected{{4, "/dev/ttyUSB0"}, {5, "/dev/ttyACM0"}};
    EXPECT_EQ(ctx.portMap.entries(), expected);

    SettingsStore writer = store();
    EXPECT_TRUE(writer.writeValue("BaudRate", 115200));
    EXPECT_TRUE(writer.writeValue("ISP Start Addr", 0x10000));
    EXPECT_EQ(loaded().baudRate, 115200u);
    EXPECT_EQ(ctx_->ispStartAddr, 0x10000u);
    EXPECT_EQ(fileText(path("system.conf")), system);
    EXPECT_NE(fileText(path("user/Pagewise.conf")).find(kStoredGroup), std::string::npos);
}

TEST_F(SettingsFixture, ThePortMapRoundTripsAndBadEntriesAreDropped)
{
    SettingsStore writer = store();
    EXPECT_TRUE(
        writer.writePortMap({{1, "/dev/pts/3"}, {24, "/dev/serial/by-id/usb-x if00"}, {25, "/dev/no"}, {2, ""}}));
    const std::map<std::uint32_t, std::string> kept{{1, "/dev/pts/3"}, {24, "/dev/serial/by-id/usb-x if00"}};
    EXPECT_EQ(store().readPortMap(), kept);

    // A smaller map replaces the old one entirely.
    EXPECT_TRUE(writer.writePortMap({{3, "/dev/ttyS9"}}));
    EXPECT_EQ(store().readPortMap(), (std::map<std::uint32_t, std::string>{{3, "/dev/ttyS9"}}));

    // Entries typed by hand outside COM1..COM24 are ignored.
    writeUser("[Ports]\nCOM0=/dev/a\nCOM25=/dev/b\nCOM01=/dev/c\nCOMx=/dev/d\nCOM2=\nCOM3=/dev/e\ncom4=/dev/f\n");
    EXPECT_EQ(store().readPortMap(), (std::map<std::uint32_t, std::string>{{3, "/dev/e"}}));
}

struct GarbledCase {
    const char* name;
    const char* text;
    const char* told; // what the user is told, after the file's path
};

class GarbledFiles : public SettingsFixture, public ::testing::WithParamInterface<GarbledCase> {};

// A file that cannot be used gives the defaults, is never rewritten (nothing in it is lost),
// and is named once, with the line that is wrong.
TEST_P(GarbledFiles, GiveTheDefaultsAreNamedAndAreNotRewritten)
{
    const std::string garbled = GetParam().text;
    writeUser(garbled);
    const IspContext& ctx = loaded();
    EXPECT_EQ(ctx.comPort, 1);
    EXPECT_EQ(ctx.baudRate, 9600u);
    EXPECT_EQ(ctx.ispStartAddr, 0u);
    const std::vector<std::string> problems = store().problems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find(path("user/Pagewise.conf") + " is not used"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find(GetParam().told), std::string::npos) << problems[0];

    SettingsStore writer = store();
    writer.writeValue("COMPort", 3);
    writer.writePortMap({{3, "/dev/pts/1"}});
    EXPECT_EQ(fileText(path("user/Pagewise.conf")), garbled);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Content, GarbledFiles, ::testing::Values(
    GarbledCase{"UnclosedSection", "[Software%5CCorvane%5CPagewise%5CHZ41C120\nCOMPort=7\n",
        "line 1 is neither a [section] nor a key=value pair: [Software%5CCorvane%5CPagewise%5CHZ41C120"},
    GarbledCase{"BinaryNoise", "\x01\x02\xff\xfe[\x80\x81\n=\n\x7f", "it is not UTF-8 text"},
    GarbledCase{"LineWithoutEquals", "[Ports]\nCOM3=/dev/ttyUSB0\n\nCOMPort 3\n", "line 4 is neither"},
    GarbledCase{"EmptySection", "[]\nCOMPort=9\n[Ports\n", "line 1 is neither"}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
