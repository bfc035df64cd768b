#include "settings/Settings.h"
#include "gui/controls/BusySpinner.h"
#include "gui/controls/HexSuffixEdit.h"
#include "gui/dialogs/ConfigDialog.h"
#include "sim/Pty.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/Tables.h"

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
public:
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

struct TypingCase {
    const char* name;
    const char* typed;
    std::vector<std::string> messages;
    const char* fieldAfter;
};
using test::PrintTo;

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
    test::rowName);

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

} // namespace
} // namespace pw
