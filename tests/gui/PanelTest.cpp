// The panel end to end against the simulator: what a click starts, what it refuses, Cancel,
// closing mid-run, and the port lent to the Dump dialog.
#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "support/EngineBench.h"
#include "support/PanelFixture.h"
#include "support/Tables.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

namespace pw::test {
namespace {

using PanelRun = PanelFixture;

TEST_F(PanelRun, ProgramShowsTheImageLogsItsPhasesAndLeavesTheImageInFlash)
{
    const std::vector<std::uint8_t> image = patternImage(700, 3);
    const QString path = loadImage(image);
    EXPECT_EQ(child<QLineEdit>("size")->text(), "700");

    runOperation("program");

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 3) << lines.join("|").toStdString();
    EXPECT_EQ(lines[0], path);
    EXPECT_EQ(lines[1], "Begin programming.............");
    EXPECT_TRUE(QRegularExpression("^program elapsed time : [ 0-9]\\d*\\.\\d seconds$").match(lines[2]).hasMatch())
        << lines[2].toStdString();
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
    EXPECT_EQ(child<QProgressBar>("progress")->value(), 0);
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_TRUE(boxes.texts().empty());
    const sim::FlashBytes flash = sim.sim().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    ASSERT_TRUE(sim.waitForLastProgramFrame(kLeaveFrame));
}

struct RefusalRow {
    const char* name;
    const char* button;
    bool withImage;
    int portOpen;
    int busy;
    const char* box; // "" for none
};
using pw::test::PrintTo;

class PanelRefuses : public PanelFixture, public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(PanelRefuses, StartsNothing)
{
    const RefusalRow& row = GetParam();
    if (row.withImage)
        loadImage(patternImage(16));
    const QStringList before = logLines();
    ctx.portOpen = row.portOpen;
    ctx.busy = row.busy;
    panel->showAdvancedButtons();

    click(row.button);
    QCoreApplication::processEvents();

    EXPECT_FALSE(panel->operationRunning());
    EXPECT_EQ(ctx.busy.load(), row.busy);
    EXPECT_EQ(boxes.texts(), *row.box ? std::vector<std::string>{row.box} : std::vector<std::string>{});
    EXPECT_EQ(logLines(), before);
    EXPECT_TRUE(sim.programFrames().empty());
    ctx.portOpen = 1;
    ctx.busy = 0;
}

INSTANTIATE_TEST_SUITE_P(Buttons, PanelRefuses,
                         ::testing::Values(RefusalRow{"verify_without_image", "verify", false, 1, 0,
                                                      "BIN file not found!"},
                                           RefusalRow{"program_port_closed", "program", true, 0, 0, ""},
                                           RefusalRow{"auto_port_closed", "auto", true, 0, 0, ""},
                                           RefusalRow{"erase_port_closed", "erase", true, 0, 0, ""},
                                           RefusalRow{"program_busy", "program", true, 1, 1, ""},
                                           RefusalRow{"verify_busy", "verify", true, 1, 1, ""},
                                           RefusalRow{"erase_busy", "erase", true, 1, 1, ""},
                                           RefusalRow{"dump_busy", "dump", true, 1, 1, ""}),
                         rowName);

// The erase button erases the chip from 0; from a higher start address it offers the pages
// from there to the end, and a Cancel in that dialog sends nothing.
TEST_F(PanelRun, EraseFollowsTheStartAddressAndTheDialog)
{
    sim.sim().setFlash(sim::FlashBytes{});
    runOperation("erase");
    EXPECT_EQ(sim.sim().flash()[0x100], 0xFF);
    ASSERT_TRUE(sim.waitForLastProgramFrame(kLeaveFrame));

    ctx.ispStartAddr = 0x8000;
    sim.sim().setFlash(sim::FlashBytes{});
    sim.sim().clearFrames();
    std::vector<std::uint32_t> offered;
    OnDialogShown<PageEraseDialog> cancel([&](PageEraseDialog& dialog) {
        offered = {dialog.fromPage(), dialog.pageCount()};
        dialog.cancelButton()->click();
    });
    click("erase");
    EXPECT_EQ(offered, (std::vector<std::uint32_t>{64, 64}));
    EXPECT_FALSE(panel->operationRunning());
    EXPECT_TRUE(sim.programFrames().empty());

    OnDialogShown<PageEraseDialog> accept([&](PageEraseDialog& dialog) { dialog.okButton()->click(); });
    runOperation("erase");
    const sim::FlashBytes flash = sim.sim().flash();
    EXPECT_EQ(flash[0x7FFF], 0x00);
    EXPECT_EQ(flash[0x8000], 0xFF);
    EXPECT_EQ(flash[0xFFFF], 0xFF);
    EXPECT_TRUE(boxes.texts().empty());
}

class PanelOnASlowLine : public PanelFixture {
protected:
    PanelOnASlowLine() : PanelFixture(SimHarness::withFaults({{sim::Fault::Kind::Slow, 5}})) {}
};

TEST_F(PanelOnASlowLine, CancelEndsTheRunWithoutASuccessLine)
{
    loadImage(patternImage(0x2000));
    QSignalSpy ended(panel.get(), &IspPanel::operationEnded);
    click("program");
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return sim.programFrames().size() >= 30; }, 20000)); // replies need the GUI thread
    click("cancel");
    ASSERT_TRUE(ended.wait(60000));

    EXPECT_TRUE(boxes.texts().empty());
    for (const QString& line : logLines())
        EXPECT_FALSE(line.contains("elapsed")) << line.toStdString();
    ASSERT_TRUE(sim.waitForLastProgramFrame(kLeaveFrame));
    EXPECT_EQ(ctx.busy.load(), 0);
}

TEST_F(PanelOnASlowLine, ClosingMidRunEndsTheWorkerFirst)
{
    loadImage(patternImage(0x2000));
    click("program");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.programFrames().size() >= 20; }, 20000));
    panel.reset();
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_EQ(ctx.portOpen.load(), 0);
    EXPECT_FALSE(ctx.startAddrLabel);
}

// A desktop with no viewer shows nothing: the log names the file instead.
TEST_F(PanelRun, AnExportNoViewerCanShowIsNamedInTheLog)
{
    viewerWorks = false;
    panel->AppendLogLine("one");
    panel->OnExport();
    const std::string path = ctx.exeDir + "ISP_log.txt";
    EXPECT_EQ(viewed, std::vector<std::string>{path});
    EXPECT_EQ(logLines().back(), QString::fromStdString("Written to " + path + " (no viewer could show it)"));
    EXPECT_EQ(fileText(path), "one\r\n");
}

// The panel lends the port to the Dump dialog and must own it again afterwards: an operation
// started after the dialog closed has to be answered.
TEST_F(PanelRun, DumpDialogGivesThePortBack)
{
    sim::FlashBytes flash;
    flash.fill(0x5A);
    sim.sim().setFlash(flash);
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    bool dumped = false;
    OnDialogShown<DumpDialog> drive([&](DumpDialog& dialog) {
        dialog.findChild<QRadioButton*>("binFile")->click();
        QSignalSpy ended(&dialog, &DumpDialog::dumpEnded);
        dialog.onExcute();
        dumped = ended.wait(60000);
        dialog.accept();
    });
    panel->showAdvancedButtons();
    click("dump");
    QDir::setCurrent(oldCurrent);

    ASSERT_TRUE(drive.fired());
    ASSERT_TRUE(dumped);
    EXPECT_EQ(fileText(dir.file("Dump.bin")), std::string(512, '\x5A'));
    EXPECT_EQ(ctx.portOpen.load(), 1);
    runOperation("erase");
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    EXPECT_EQ(sim.sim().flash()[0], 0xFF);
}

} // namespace
} // namespace pw::test
