#include "settings/Settings.h"
#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "gui/dialogs/ConfigDialog.h"
#include "sim/Pty.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace pw {
namespace {

using namespace std::chrono_literals;

constexpr const char* kNotDigit = "Address Error! Address number must be digital number";
constexpr const char* kOutOfRange = "Out of range! Page number must be <= 0x10000";
constexpr const char* kMisaligned = "ISP Start Address must be multiple of 0x800 !";
constexpr int kWaitMs = 10000;

class NullSink : public ByteSink {
public:
    void receiveByte(std::uint8_t, std::uint32_t) override {}
};

// ispStartAddr 0x800, COM3 on a pseudo-terminal, 57600 baud, 64 KiB of flash.
class ConfigFixture {
protected:
    void open()
    {
        test::ensureGuiApplication();
        ASSERT_TRUE(dir.isValid());
        std::string error;
        ASSERT_TRUE(pty.open(error)) << error;
        ctx.portMap.assign(3, pty.slavePath());
        ctx.comPort = 3;
        ctx.baudRate = 57600;
        ctx.ispStartAddr = 0x800;
        ctx.portOwner = &sink;
        ctx.timings.closePortPause = 1ms;
        ctx.startAddrLabel = [this](const std::string& text) { addressLine = text; };
        dialog = std::make_unique<ConfigDialog>(ctx, store);
        dialog->setCheckTick(10ms);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        QApplication::setActiveWindow(dialog.get());
        field()->setFocus();
    }

    void close()
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
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        QSignalSpy ended(dialog.get(), &ConfigDialog::checkerEnded);
        while (std::chrono::steady_clock::now() < deadline) {
            if (dialog->checkerRunning())
                ended.wait(kWaitMs);
            QApplication::processEvents();
            if (!dialog->checkerRunning() && !dialog->spinner()->isVisible())
                return true;
        }
        return false;
    }

    std::optional<std::uint32_t> saved(const char* name) const { return store.readValue(name); }

    QTemporaryDir dir;
    SettingsStore store{dir.filePath("user.conf").toStdString(), dir.filePath("system.conf").toStdString()};
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    sim::Pty pty;
    NullSink sink;
    std::string addressLine;
    std::unique_ptr<ConfigDialog> dialog;
};

class ConfigDialogTest : public ConfigFixture, public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override { close(); }
};

TEST_F(ConfigDialogTest, OpensWithTheCurrentSettingsAndNoCheckPending)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Configuration"));
    EXPECT_EQ(dialog->startAddressField()->text(), QStringLiteral("8"));
    EXPECT_EQ(dialog->portList()->currentText(), portEntryText(3, pty.slavePath()));
    EXPECT_EQ(dialog->portList()->count(), 24);
    EXPECT_EQ(dialog->deviceList()->currentText().toStdString(), pty.slavePath());
    EXPECT_EQ(dialog->rateList()->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(dialog->parityList()->currentText(), QStringLiteral("NONE"));
    EXPECT_EQ(dialog->dataBitsList()->currentText(), QStringLiteral("8"));
    EXPECT_EQ(dialog->stopBitsList()->currentText(), QStringLiteral("1"));
    EXPECT_FALSE(dialog->parityList()->isEnabled());
    EXPECT_FALSE(dialog->dataBitsList()->isEnabled());
    EXPECT_FALSE(dialog->stopBitsList()->isEnabled());
    EXPECT_EQ(dialog->noteLabel()->text(), QStringLiteral("P.S. Address should be multiple of 0x800"));
    EXPECT_FALSE(dialog->checkerRunning());
    EXPECT_FALSE(dialog->spinner()->isVisible());
}

struct TypingCase {
    const char* name;
    const char* typed;
    std::vector<std::string> messages;
    const char* fieldAfter;
};

class ConfigTyping : public ConfigFixture, public ::testing::TestWithParam<TypingCase> {
protected:
    void SetUp() override { open(); }
    void TearDown() override { close(); }
};

TEST_P(ConfigTyping, ChecksTheStartAddressOnceTheTypingSettles)
{
    const TypingCase& c = GetParam();
    retype(c.typed);
    ASSERT_TRUE(settled());
    EXPECT_EQ(boxes.texts(), c.messages);
    EXPECT_EQ(dialog->startAddressField()->text(), QString::fromLatin1(c.fieldAfter));
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u); // nothing applied before OK
    EXPECT_FALSE(saved("ISP Start Addr"));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfigTyping,
    ::testing::Values(TypingCase{"Misaligned", "9", {kMisaligned}, "8"},
                      TypingCase{"AlignedInTwoKeys", "10", {}, "10"},
                      TypingCase{"AboveTheFlash", "100", {kOutOfRange}, "8"},
                      TypingCase{"Emptied", "", {kNotDigit}, "8"},
                      TypingCase{"LettersRefusedByTheField", "g.-", {}, "8"},
                      TypingCase{"HighestAligned", "f8", {}, "f8"}),
    [](const ::testing::TestParamInfo<TypingCase>& caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(ConfigDialogTest, SpinnerTurnsWhileTheCheckWaits)
{
    dialog->setCheckTick(50ms);
    const int before = dialog->spinner()->position();
    retype("9");
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->isVisible(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->position() != before, kWaitMs);
    ASSERT_TRUE(settled());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kMisaligned});
}

TEST_F(ConfigDialogTest, OkWhileTheSpinnerTurnsReportsAMisalignedAddressOnce)
{
    dialog->setCheckTick(200ms);
    retype("9");
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->isVisible(), kWaitMs);
    dialog->accept();
    EXPECT_FALSE(dialog->checkerRunning());
    QApplication::processEvents();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{kMisaligned});
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u);
    EXPECT_FALSE(saved("ISP Start Addr"));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ctx.portOpen.load(), 1); // the port is still reopened
    EXPECT_EQ(saved("COMPort"), 3u);
}

TEST_F(ConfigDialogTest, OkWithAValidAddressAppliesAndSavesIt)
{
    retype("10");
    dialog->accept();
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x1000u);
    EXPECT_EQ(saved("ISP Start Addr"), 0x1000u);
    EXPECT_EQ(addressLine, "ISP Start Address From :0x1000");
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(ctx.portOpen.load(), 1);
    EXPECT_TRUE(ctx.port.isOpen());
    EXPECT_EQ(ctx.port.baud(), 9600u); // reopened at the base rate
    EXPECT_EQ(saved("COMPort"), 3u);
    EXPECT_EQ(saved("BaudRate"), 57600u);
}

TEST_F(ConfigDialogTest, ChoosingNineSixHundredSetsAndSavesTheRate)
{
    dialog->rateList()->setCurrentIndex(2);
    dialog->accept();
    EXPECT_EQ(ctx.baudRate.load(), 9600u);
    EXPECT_EQ(saved("BaudRate"), 9600u);
    EXPECT_EQ(saved("ISP Start Addr"), 0x800u); // the unchanged address is applied again
}

TEST_F(ConfigDialogTest, PortWithoutADeviceIsTriedTwiceReportedOnceAndNothingIsSaved)
{
    ctx.portMap.assign(5, dir.filePath("no-such-tty").toStdString());
    dialog->portList()->setCurrentIndex(4);
    dialog->accept();
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{dir.filePath("no-such-tty").toStdString() + " not found"});
    EXPECT_EQ(ctx.portOpen.load(), 0);
    EXPECT_EQ(ctx.comPort.load(), 5);
    EXPECT_FALSE(saved("COMPort"));
    EXPECT_FALSE(saved("BaudRate"));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ConfigDialogTest, TypedDeviceIsAssignedToTheChosenPortAndSaved)
{
    dialog->portList()->setCurrentIndex(6);
    dialog->deviceList()->setEditText(QString::fromStdString(pty.slavePath()));
    dialog->accept();
    EXPECT_EQ(ctx.portMap.deviceFor(7), pty.slavePath());
    EXPECT_EQ(ctx.portOpen.load(), 1);
    EXPECT_EQ(ctx.port.portNumber(), 7u);
    EXPECT_EQ(store.readPortMap()[7], pty.slavePath());
    EXPECT_EQ(saved("COMPort"), 7u);
}

// A device given with --port for this run is used, but only a device chosen here is saved.
TEST_F(ConfigDialogTest, ADeviceGivenForThisRunIsNotSaved)
{
    ctx.portMap.assign(3, "");
    ctx.portMap.assignForThisRun(3, pty.slavePath());
    dialog->accept();
    EXPECT_TRUE(ctx.port.isOpen());
    EXPECT_EQ(saved("COMPort"), 3u);
    EXPECT_EQ(store.readPortMap().count(3), 0u);
}

// OK while an operation runs changes nothing under the worker and loses nothing typed: the
// user is told, the dialog stays open, and OK applies everything once the run has ended.
TEST_F(ConfigDialogTest, OkWhileAnOperationRunsWaitsForItsEnd)
{
    ctx.busy = 1;
    dialog->rateList()->setCurrentIndex(2);
    retype("10");
    ASSERT_TRUE(settled());
    dialog->accept();
    EXPECT_EQ(boxes.texts().size(), 1u);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(ctx.baudRate.load(), 57600u);
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u);
    EXPECT_FALSE(ctx.port.isOpen());
    EXPECT_FALSE(saved("BaudRate"));

    ctx.busy = 0;
    dialog->accept();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ctx.baudRate.load(), 9600u);
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x1000u);
    EXPECT_TRUE(ctx.port.isOpen());
}

TEST_F(ConfigDialogTest, CancelWhileTheCheckerRunsStopsItAndChangesNothing)
{
    dialog->setCheckTick(200ms);
    retype("9");
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->isVisible(), kWaitMs);
    dialog->reject();
    EXPECT_FALSE(dialog->checkerRunning());
    dialog.reset(); // requests the checker left queued must not reach the destroyed widgets
    QApplication::processEvents();
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(ctx.ispStartAddr.load(), 0x800u);
    EXPECT_FALSE(ctx.port.isOpen());
    EXPECT_FALSE(saved("COMPort"));
}

TEST_F(ConfigDialogTest, DestroyedWhileTheCheckerRunsEndsCleanly)
{
    dialog->setCheckTick(200ms);
    retype("9");
    QTRY_VERIFY_WITH_TIMEOUT(dialog->spinner()->isVisible(), kWaitMs);
    dialog.reset(); // the close box path: no reject, just destruction
    QApplication::processEvents();
    EXPECT_TRUE(boxes.texts().empty());
}

} // namespace
} // namespace pw
