#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "gui/dialogs/ConfigDialog.h"
#include "settings/Settings.h"
#include "sim/Pty.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace pw::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMisaligned = "ISP Start Address must be multiple of 0x800 !";

class NullSink : public ByteSink {
public:
    void receiveByte(std::uint8_t, std::uint32_t) override {}
};

// ispStartAddr 0x800, COM3 on a pseudo-terminal, 57600 baud, 64 KiB of flash.
class ConfigFixture : public ::testing::Test {
public:
    void SetUp() override
    {
        ensureGuiApplication();
        std::string error;
        ASSERT_TRUE(pty.open(error)) << error;
        ctx.portMap.assign(3, pty.slavePath());
        ctx.comPort = 3;
        ctx.baudRate = 57600;
        ctx.ispStartAddr = 0x800;
        ctx.portOwner = &sink;
        ctx.timings.closePortPause = 1ms;
        dialog = std::make_unique<ConfigDialog>(ctx, store);
        dialog->setCheckTick(10ms);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        QApplication::setActiveWindow(dialog.get());
        field()->setFocus();
    }
    void TearDown() override
    {
        dialog.reset();
        ctx.port.Close();
    }
    QLineEdit* field() const { return dialog->startAddressField()->lineEdit(); }
    void retype(const char* keys)
    {
        field()->selectAll();
        if (*keys == '\0')
            QTest::keyClick(field(), Qt::Key_Backspace);
        else
            QTest::keyClicks(field(), QString::fromLatin1(keys));
    }
    // Every checker started by the typing (and by the field's own rewrites) has ended.
    bool settled()
    {
        return QTest::qWaitFor([&] { return !dialog->checkerRunning() && !dialog->spinner()->isVisible(); }, 10000);
    }
    std::optional<std::uint32_t> saved(const char* name) const { return store.readValue(name); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("user.conf").toStdString(), dir.filePath("system.conf").toStdString()};
    RecordingBoxes boxes;
    IspContext ctx{boxes};
    sim::Pty pty;
    NullSink sink;
    std::unique_ptr<ConfigDialog> dialog;
};

struct TypingCase {
    const char* name;
    const char* typed;
    std::vector<std::string> messages;
    const char* fieldAfter;
};
using pw::test::PrintTo;

class ConfigTyping : public ConfigFixture, public ::testing::WithParamInterface<TypingCase> {};

// The start address is checked once the typing settles; nothing is applied before OK.
TEST_P(ConfigTyping, ChecksTheStartAddressOnceTheTypingSettles)
{
    const TypingCase& c = GetParam();
    retype(c.typed);
    ASSERT_TRUE(settled());
    EXPECT_EQ(boxes.texts(), c.messages);
    EXPECT_EQ(dialog->startAddressField()->text(), QString::fromLatin1(c.fieldAfter));
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u);
    EXPECT_FALSE(saved("ISP Start Addr"));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ConfigTyping, ::testing::Values(
    TypingCase{"Misaligned", "9", {kMisaligned}, "8"},
    TypingCase{"AlignedInTwoKeys", "10", {}, "10"},
    TypingCase{"AboveTheFlash", "100", {"Out of range! Page number must be <= 0x10000"}, "8"},
    TypingCase{"Emptied", "", {"Address Error! Address number must be digital number"}, "8"},
    TypingCase{"HighestAligned", "f8", {}, "f8"}
), rowName);
// clang-format on

// What OK applies, saves and says, from the choices made before it.
struct OkRow {
    const char* name;
    void (*choose)(ConfigFixture&);
    std::vector<std::string> boxes; // "$missing" stands for the missing device's path
    std::uint32_t startAddress;     // applied
    std::optional<std::uint32_t> savedStart;
    std::uint32_t rate;
    std::optional<std::uint32_t> savedPort;
    bool portOpen;
    std::map<std::uint32_t, std::string> savedMap; // "$pty" stands for the pty
};

class ConfigOk : public ConfigFixture, public ::testing::WithParamInterface<OkRow> {};

TEST_P(ConfigOk, AppliesAndSavesWhatWasChosen)
{
    const OkRow& row = GetParam();
    row.choose(*this);
    dialog->accept();
    QApplication::processEvents();
    std::vector<std::string> expectedBoxes = row.boxes;
    for (std::string& text : expectedBoxes)
        if (text == "$missing")
            text = dir.filePath("no-such-tty").toStdString() + " not found";
    EXPECT_EQ(boxes.texts(), expectedBoxes);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ctx.ispStartAddr.load(), row.startAddress);
    EXPECT_EQ(saved("ISP Start Addr"), row.savedStart);
    EXPECT_EQ(ctx.baudRate.load(), row.rate);
    EXPECT_EQ(saved("BaudRate"), row.savedPort ? std::optional(row.rate) : std::nullopt);
    EXPECT_EQ(saved("COMPort"), row.savedPort);
    EXPECT_EQ(ctx.portOpen.load(), row.portOpen ? 1 : 0);
    EXPECT_EQ(ctx.port.isOpen(), row.portOpen);
    if (row.portOpen) {
        EXPECT_EQ(ctx.port.baud(), 9600u); // reopened at the base rate
    }
    std::map<std::uint32_t, std::string> savedMap = row.savedMap;
    for (auto& [port, device] : savedMap)
        device = device == "$pty" ? pty.slavePath() : device;
    EXPECT_EQ(store.readPortMap(), savedMap);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Choices, ConfigOk, ::testing::Values(
    OkRow{"aligned_address", [](ConfigFixture& f) { f.retype("10"); }, {}, 0x1000, 0x1000, 57600, 3, true,
        {{3, "$pty"}}},
    OkRow{"rate_9600", [](ConfigFixture& f) { f.dialog->rateList()->setCurrentIndex(2); }, {}, 0x800, 0x800, 9600, 3,
        true, {{3, "$pty"}}},
    // OK while the check of a misaligned address waits: told once, the port still reopened.
    OkRow{"ok_before_the_check", [](ConfigFixture& f) { f.dialog->setCheckTick(200ms); f.retype("9"); },
        {kMisaligned}, 0x800, std::nullopt, 57600, 3, true, {{3, "$pty"}}},
    // A port without a device: tried, reported once, nothing saved.
    OkRow{"missing_device", [](ConfigFixture& f) {
            f.ctx.portMap.assign(5, f.dir.filePath("no-such-tty").toStdString());
            f.dialog->portList()->setCurrentIndex(4);
        }, {"$missing"}, 0x800, 0x800, 57600, std::nullopt, false, {}},
    // A device typed for a port is assigned to it and saved.
    OkRow{"typed_device", [](ConfigFixture& f) {
            f.dialog->portList()->setCurrentIndex(6);
            f.dialog->deviceList()->setEditText(QString::fromStdString(f.pty.slavePath()));
        }, {}, 0x800, 0x800, 57600, 7, true, {{3, "$pty"}, {7, "$pty"}}},
    // A device given with --port for this run is used, but only one chosen here is saved.
    OkRow{"device_for_this_run", [](ConfigFixture& f) {
            f.ctx.portMap.assign(3, "");
            f.ctx.portMap.assignForThisRun(3, f.pty.slavePath());
        }, {}, 0x800, 0x800, 57600, 3, true, {}}
), rowName);
// clang-format on

// OK while an operation runs changes nothing under the worker and loses nothing typed: the
// user is told, the dialog stays open, and OK applies everything once the run has ended.
TEST_F(ConfigFixture, OkWhileAnOperationRunsWaitsForItsEnd)
{
    ctx.busy = 1;
    dialog->rateList()->setCurrentIndex(2);
    retype("10");
    ASSERT_TRUE(settled());
    dialog->accept();
    EXPECT_EQ(boxes.texts().size(), 1u);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(ctx.baudRate.load(), 57600u);
    EXPECT_FALSE(ctx.port.isOpen());
    EXPECT_FALSE(saved("BaudRate"));
    ctx.busy = 0;
    dialog->accept();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ctx.baudRate.load(), 9600u);
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x1000u);
    EXPECT_TRUE(ctx.port.isOpen());
}

// Cancel (or the close box) while the checker runs stops it; what it left queued must not
// reach the destroyed widgets, and nothing changes.
TEST_F(ConfigFixture, CancelWhileTheCheckerRunsStopsItAndChangesNothing)
{
    dialog->setCheckTick(200ms);
    retype("9");
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->isVisible(), 10000);
    dialog->reject();
    EXPECT_FALSE(dialog->checkerRunning());
    dialog.reset();
    QApplication::processEvents();
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u);
    EXPECT_FALSE(ctx.port.isOpen());
    EXPECT_FALSE(saved("COMPort"));
}

} // namespace
} // namespace pw::test
