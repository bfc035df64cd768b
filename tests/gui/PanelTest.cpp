// The panel end to end against the simulator: what a click starts, what it refuses, closing
// mid-run, and the port lent to the Dump dialog.
#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "support/EngineBench.h"
#include "support/PanelFixture.h"
#include "support/Tables.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>

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
    panel->setDumpAndExportShown(true);

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

// clang-format off
INSTANTIATE_TEST_SUITE_P(Buttons, PanelRefuses, ::testing::Values(
    RefusalRow{"verify_without_image", "verify", false, 1, 0, "BIN file not found!"},
    RefusalRow{"program_port_closed", "program", true, 0, 0, ""},
    RefusalRow{"auto_port_closed", "auto", true, 0, 0, ""},
    RefusalRow{"erase_port_closed", "erase", true, 0, 0, ""},
    RefusalRow{"program_busy", "program", true, 1, 1, ""},
    RefusalRow{"verify_busy", "verify", true, 1, 1, ""},
    RefusalRow{"erase_busy", "erase", true, 1, 1, ""},
    RefusalRow{"dump_busy", "dump", true, 1, 1, ""}
), rowName);
// clang-format on

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

struct ReloadRow {
    const char* name;
    const char* file;   // loaded, then changed (or not) before the click
    const char* button; // program, verify or auto
    std::string before; // the file's content at Load
    std::string after;  // its content at the click ("": unchanged)
    bool reloaded;      // a reload line is logged
    const char* size;   // the Size field after the click
    const char* box;    // a part of the box's text, "" for none; a box means no frame is sent
};

class PanelReload : public PanelFixture, public ::testing::WithParamInterface<ReloadRow> {};

const std::string kHexA = ":040000001122334452\n:00000001FF\n";
const std::string kHexB = ":08000000112233445566778894\n:00000001FF\n";

// The image written is the image shown: a file that changed on disk since Load is loaded again
// (logged in one line) before the run; one that can no longer be loaded starts nothing.
TEST_P(PanelReload, LoadsAChangedFileAgainBeforeTheRun)
{
    const ReloadRow& row = GetParam();
    const std::string path = writeFile(dir.file(row.file), row.before);
    panel->loadFile(QString::fromStdString(path));
    if (row.after == "-") {
        QFile::remove(QString::fromStdString(path));
    } else if (!row.after.empty()) {
        // A rebuild: new content, and a modification time that differs even on a coarse clock.
        writeFile(path, row.after);
        QFile(QString::fromStdString(path))
            .setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    }
    const QStringList before = logLines();
    sim.sim().setFlash([&] {
        sim::FlashBytes flash;
        flash.fill(0xFF);
        return flash;
    }());
    if (*row.box) {
        click(row.button);
        QCoreApplication::processEvents();
        EXPECT_FALSE(panel->operationRunning());
    } else {
        runOperation(row.button);
    }
    const QStringList lines = logLines();
    EXPECT_EQ(lines.size() > before.size() &&
                  lines[before.size()] ==
                      QStringLiteral("Changed on disk, loaded again: ") + QString::fromStdString(path),
              row.reloaded)
        << lines.join("|").toStdString();
    EXPECT_EQ(child<QLineEdit>("size")->text(), QString::fromLatin1(row.size));
    const std::string box = boxes.texts().empty() ? std::string() : boxes.texts().front();
    EXPECT_EQ(box.empty(), !*row.box);
    EXPECT_NE(box.find(row.box), std::string::npos) << box;
    if (*row.box) {
        EXPECT_TRUE(sim.programFrames().empty()) << "a frame went out for an image that could not be loaded";
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, PanelReload, ::testing::Values(
    ReloadRow{"rebuilt_hex_before_program", "fw.hex", "program", kHexA, kHexB, true, "40/8", ""},
    ReloadRow{"rebuilt_bin_before_auto", "fw.bin", "auto", std::string(8, '\x11'), std::string(24, '\x22'), true, "24",
        ""},
    ReloadRow{"unchanged_bin_before_program", "fw.bin", "program", std::string(8, '\x11'), "", false, "8", ""},
    ReloadRow{"broken_hex_before_verify", "fw.hex", "verify", kHexA, ":040000001122334453\n:00000001FF\n", false, "",
        "record checksum is 53"},
    ReloadRow{"deleted_bin_before_program", "fw.bin", "program", std::string(8, '\x11'), "-", false, "",
        "could not be opened"}
), rowName);
// clang-format on

class PanelOnASlowLine : public PanelFixture {
protected:
    PanelOnASlowLine() : PanelFixture(SimHarness::withFaults({{sim::Fault::Kind::Slow, 5}})) {}
};

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
    bool dumped = false;
    OnDialogShown<DumpDialog> drive([&](DumpDialog& dialog) {
        dialog.findChild<QRadioButton*>("binFile")->click();
        QSignalSpy ended(&dialog, &DumpDialog::dumpEnded);
        dialog.onExcute();
        dumped = ended.wait(60000);
        dialog.accept();
    });
    panel->setDumpAndExportShown(true);
    click("dump");

    ASSERT_TRUE(drive.fired());
    ASSERT_TRUE(dumped);
    EXPECT_EQ(fileText(dir.file("Dump.bin")), std::string(512, '\x5A'));
    EXPECT_EQ(ctx.portOpen.load(), 1);
    runOperation("erase");
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    EXPECT_EQ(sim.sim().flash()[0], 0xFF);
}

// An adapter pulled and plugged back at the same path, as users do all day: the pull is told
// once, a click while it is away says it is not found and starts nothing, and once it is back
// the next click runs as if it had never gone.
struct ReplugRow {
    const char* name;
    const char* button;        // "dump": the Dump dialog's Excute
    std::uint32_t hangupAfter; // frames a first Program run gets before the pull; 0: pulled while idle
};

class PanelReplug : public PanelFixture, public ::testing::WithParamInterface<ReplugRow> {
protected:
    // Clicks `button` (or Excute in the Dump dialog): false when no run started (a start claims
    // `busy` before the click returns), else whether it ended.
    bool clickAndRun(const char* button)
    {
        const auto started = [this] { return ctx.busy.load() != 0; };
        if (std::string(button) != "dump") {
            QSignalSpy ended(panel.get(), &IspPanel::operationEnded);
            click(button);
            return started() && ended.wait(60000);
        }
        bool dumped = false;
        OnDialogShown<DumpDialog> drive([&](DumpDialog& dialog) {
            QSignalSpy ended(&dialog, &DumpDialog::dumpEnded);
            dialog.onExcute();
            dumped = started() && ended.wait(60000);
            dialog.accept();
        });
        click("dump");
        return dumped;
    }
    const ReplugRow& row() const { return GetParam(); }
    static sim::SimOptions hangingUp(std::uint32_t frames)
    {
        return SimHarness::withFaults({{sim::Fault::Kind::HangupAfter, frames}});
    }
};

TEST_P(PanelReplug, AfterAPulledAdapterTheNextRunOpensThePortAgain)
{
    const std::string link = dir.file("ttyADAPTER");
    auto first = std::make_unique<SimHarness>(row().hangupAfter ? hangingUp(row().hangupAfter) : SimHarness::unpaced());
    pointLink(link, first->slavePath());
    panel.reset();
    ctx.portMap.assign(1, link);
    panel = std::make_unique<IspPanel>(ctx, nullptr);
    panel->setDumpAndExportShown(true);
    const std::vector<std::uint8_t> image = patternImage(600, 5);
    loadImage(image);

    // The link goes with the adapter, as a by-id link does: the terminal's number, free again,
    // cannot then lead to another test's line.
    if (row().hangupAfter) {
        EXPECT_TRUE(clickAndRun("program")); // the pull ends the run
        std::filesystem::remove(link);
    } else {
        std::filesystem::remove(link);
        first.reset();
    }
    ASSERT_TRUE(boxes.waitForCount(1, std::chrono::seconds(10)));
    EXPECT_EQ(boxes.texts()[0].rfind("WARNING:  read() Failed", 0), 0u) << boxes.texts()[0];
    first.reset();
    EXPECT_FALSE(ctx.port.isOpen()) << "a port whose device has gone stays open";

    const int linesBefore = logLines().size();
    EXPECT_FALSE(clickAndRun(row().button)) << "a run started on a port that is not there";
    ASSERT_EQ(boxes.texts().size(), 2u);
    EXPECT_EQ(boxes.texts()[1], link + " not found");
    EXPECT_EQ(logLines().size(), linesBefore) << "a Begin line that nothing follows";
    EXPECT_EQ(ctx.busy.load(), 0);

    SimHarness back;
    pointLink(link, back.slavePath());
    EXPECT_TRUE(clickAndRun(row().button));
    EXPECT_EQ(boxes.texts().size(), std::string(row().button) == "verify" ? 3u : 2u) << boxes.texts().back();
    if (std::string(row().button) == "program") {
        const sim::FlashBytes flash = back.sim().flash();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
        EXPECT_TRUE(logLines().back().startsWith("program elapsed time")) << logLines().back().toStdString();
    } else if (std::string(row().button) == "verify") {
        EXPECT_EQ(boxes.texts().back(), "Verified Failure at 0x0!!!"); // the new board is blank: it was answered
    } else {
        EXPECT_EQ(fileText(dir.file("Dump.txt")).substr(0, 11), "00000000h :") << fileText(dir.file("Dump.txt"));
    }
    panel.reset();
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Operations, PanelReplug, ::testing::Values(
    ReplugRow{"program_pulled_mid_run", "program", 40},
    ReplugRow{"verify_pulled_while_idle", "verify", 0},
    ReplugRow{"dump_dialog_pulled_while_idle", "dump", 0}
), rowName);
// clang-format on

} // namespace
} // namespace pw::test
