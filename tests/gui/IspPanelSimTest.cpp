#include "gui/dialogs/DumpDialog.h"
#include "gui/dialogs/PageEraseDialog.h"
#include "gui/panel/IspPanel.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"

#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

namespace pw {
namespace {

using namespace std::chrono_literals;

constexpr int kRunTimeoutMs = 60000;
const std::string kConnectFrame = "0F 48 5A 34 31 43 31 FF";
const std::string kLeaveFrame = "0F 0E 01 01 01 FF";
const std::string kChipEraseModeFrame = "0F 0E 01 80 80 80 FF";
const std::string kPageEraseModeFrame = "0F 0E 01 82 82 82 FF";

std::string setAddrFrame(unsigned high)
{
    char text[32];
    std::snprintf(text, sizeof text, "0F 0E 00 %02X %02X %02X FF", high, high, high);
    return text;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs `act` on the next dialog of type D once it is on screen: waits for its Show event, so
// the test never has to guess when a modal exec() has begun.
template <typename D> class OnDialogShown : public QObject {
public:
    explicit OnDialogShown(std::function<void(D&)> act) : act_(std::move(act)) { qApp->installEventFilter(this); }
    ~OnDialogShown() override { qApp->removeEventFilter(this); }
    bool fired() const { return fired_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<D*>(watched);
        if (!fired_ && dialog && event->type() == QEvent::Show) {
            fired_ = true;
            QPointer<D> target = dialog;
            QTimer::singleShot(0, this, [this, target] { if (target) act_(*target); });
        }
        return false;
    }

private:
    std::function<void(D&)> act_;
    bool fired_ = false;
};

class IspPanelSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        ASSERT_TRUE(sim.started());
        ASSERT_TRUE(dir.isValid());
        Timings& t = ctx.timings;
        t.openLinkPause = t.closePortPause = t.baudSwitchPause = t.afterSwitchPause = 3ms;
        t.reopenClosePause = t.reopenPause = t.afterOperationPause = t.dumpHandOverPause = 3ms;
        t.chipErasePause = t.pageErasePause = t.autoChipErasePause = 3ms;
        sim.mapInto(ctx);
        ctx.exeDir = dir.path().toStdString() + "/";
        panel = std::make_unique<IspPanel>(ctx, nullptr);
        panel->setTextViewer([this](const std::string& path) { viewed.push_back(path); });
    }

    template <typename W> W* child(const char* name) { return panel->findChild<W*>(QString::fromLatin1(name)); }
    void click(const char* button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    // Clicks an operation button and waits until its worker has ended.
    void runOperation(const char* button)
    {
        QSignalSpy ended(panel.get(), &IspPanel::operationEnded);
        click(button);
        ASSERT_TRUE(ended.wait(kRunTimeoutMs)) << button;
        QCoreApplication::processEvents(); // the view calls queued behind the end
    }
    QStringList logLines()
    {
        QStringList lines;
        auto* list = child<QListWidget>("log");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    // The last frame is sent without waiting for a reply: it reaches the simulator after the run.
    std::vector<std::string> framesThroughLeave()
    {
        std::vector<std::string> frames;
        sim.waitUntil([&] {
            frames = sim.programFrames();
            return !frames.empty() && frames.back() == kLeaveFrame;
        });
        return frames;
    }
    static sim::FlashBytes filled(std::uint8_t value)
    {
        sim::FlashBytes flash;
        flash.fill(value);
        return flash;
    }

    test::SimHarness sim;
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    QTemporaryDir dir;
    std::unique_ptr<IspPanel> panel;
    std::vector<std::string> viewed;
};

TEST_F(IspPanelSim, ProgramLogsItsPhasesAndLeavesTheImageInFlash)
{
    std::vector<std::uint8_t> image(700);
    for (std::size_t k = 0; k < image.size(); ++k)
        image[k] = static_cast<std::uint8_t>(k * 7 + 3);
    const QString path = dir.filePath("image.bin");
    std::ofstream(path.toStdString(), std::ios::binary).write(reinterpret_cast<const char*>(image.data()),
                                                               static_cast<std::streamsize>(image.size()));
    panel->loadFile(path);
    auto* bar = child<QProgressBar>("progress");

    runOperation("program");

    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 3) << lines.join("|").toStdString();
    EXPECT_EQ(lines[1], "Begin programming.............");
    EXPECT_TRUE(QRegularExpression("^program elapsed time : [ 0-9]\\d*\\.\\d seconds$").match(lines[2]).hasMatch())
        << lines[2].toStdString();
    EXPECT_EQ(bar->value(), 0);
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_TRUE(boxes.texts().empty());
    const sim::FlashBytes flash = sim.sim().flash();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    EXPECT_TRUE(std::all_of(flash.begin() + 700, flash.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(framesThroughLeave().back(), kLeaveFrame);
}

// The export writes what the list holds, each line as logged plus CR LF: the elapsed-time line
// keeps its own line feed in front of the pair.
TEST_F(IspPanelSim, ExportAfterARunWritesEveryLineWithCrLf)
{
    ctx.ispStartAddr = 0;
    runOperation("erase");
    panel->AppendLogLine("last");
    panel->showAdvancedButtons();
    click("export");

    const std::string content = readFile(ctx.exeDir + "ISP_log.txt");
    const std::string begin = "Begin erase chip all data.............\r\n";
    ASSERT_EQ(content.rfind(begin, 0), 0u) << content;
    const std::string rest = content.substr(begin.size());
    EXPECT_TRUE(QRegularExpression("^erase chip elapsed time : [ 0-9]\\d*\\.\\d seconds\n\r\nlast\r\n$")
                    .match(QString::fromStdString(rest))
                    .hasMatch())
        << rest;
    EXPECT_EQ(viewed, std::vector<std::string>{ctx.exeDir + "ISP_log.txt"});
    EXPECT_TRUE(boxes.texts().empty());
}

enum class DialogAnswer { NotShown, Accept, Cancel };

struct EraseCase {
    const char* name;
    std::uint32_t startAddr;
    DialogAnswer answer;
    std::uint32_t erasedFrom; // flash bytes [erasedFrom, erasedTo) end up 0xFF
    std::uint32_t erasedTo;
};

class IspPanelErase : public IspPanelSim, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(IspPanelErase, ErasesWhatTheStartAddressAndTheDialogChoose)
{
    const EraseCase& c = GetParam();
    ctx.ispStartAddr = c.startAddr;
    sim.sim().setFlash(filled(0x00));
    std::optional<std::array<std::uint32_t, 3>> proposed;
    OnDialogShown<PageEraseDialog> answer([&](PageEraseDialog& dialog) {
        proposed = {dialog.fromPage(), dialog.pageCount(), dialog.totalPages()};
        if (c.answer == DialogAnswer::Accept)
            dialog.okButton()->click();
        else
            dialog.cancelButton()->click();
    });

    if (c.answer == DialogAnswer::Cancel) {
        click("erase");
        EXPECT_FALSE(panel->operationRunning());
        EXPECT_EQ(ctx.busy.load(), 0);
    } else {
        runOperation("erase");
    }

    EXPECT_EQ(answer.fired(), c.answer != DialogAnswer::NotShown);
    if (c.answer != DialogAnswer::NotShown) {
        ASSERT_TRUE(proposed);
        EXPECT_EQ(*proposed, (std::array<std::uint32_t, 3>{c.startAddr / 512, 128 - c.startAddr / 512, 128}));
    }
    const sim::FlashBytes flash = sim.sim().flash();
    for (std::uint32_t k = 0; k < flash.size(); ++k)
        ASSERT_EQ(flash[k], k >= c.erasedFrom && k < c.erasedTo ? 0xFF : 0x00) << "byte 0x" << std::hex << k;
    EXPECT_TRUE(boxes.texts().empty());

    const std::vector<std::string> frames =
        c.answer == DialogAnswer::Cancel ? sim.programFrames() : framesThroughLeave();
    if (c.answer == DialogAnswer::Cancel) {
        EXPECT_TRUE(frames.empty());
        EXPECT_TRUE(logLines().isEmpty());
        return;
    }
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), kConnectFrame);
    EXPECT_EQ(frames.back(), kLeaveFrame);
    std::vector<std::string> addresses;
    std::copy_if(frames.begin(), frames.end(), std::back_inserter(addresses),
                 [](const std::string& f) { return f.rfind("0F 0E 00 ", 0) == 0; });
    std::vector<std::string> wantAddresses;
    if (c.answer == DialogAnswer::Accept)
        for (std::uint32_t page = c.startAddr / 512; page < 128; ++page)
            wantAddresses.push_back(setAddrFrame(page * 2));
    EXPECT_EQ(addresses, wantAddresses);
    const auto count = [&](const std::string& frame) { return std::count(frames.begin(), frames.end(), frame); };
    EXPECT_EQ(count(kChipEraseModeFrame), c.answer == DialogAnswer::NotShown ? 1 : 0);
    EXPECT_EQ(count(kPageEraseModeFrame), static_cast<long>(wantAddresses.size()));
    EXPECT_EQ(child<QProgressBar>("progress")->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    StartAddresses, IspPanelErase,
    ::testing::Values(EraseCase{"whole_chip", 0, DialogAnswer::NotShown, 0, 0x10000},
                      EraseCase{"upper_half_pages", 0x8000, DialogAnswer::Accept, 0x8000, 0x10000},
                      EraseCase{"dialog_cancelled", 0x8000, DialogAnswer::Cancel, 0, 0}),
    [](const auto& param) { return std::string(param.param.name); });

struct ExportCase {
    const char* name;
    bool exeDirWritable;
    bool dataDirWritable;
};

class IspPanelExportPlace : public IspPanelSim, public ::testing::WithParamInterface<ExportCase> {
protected:
    void TearDown() override
    {
        if (savedDataHome)
            qputenv("XDG_DATA_HOME", *savedDataHome);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    std::optional<QByteArray> savedDataHome =
        qEnvironmentVariableIsSet("XDG_DATA_HOME") ? std::optional(qgetenv("XDG_DATA_HOME")) : std::nullopt;
};

TEST_P(IspPanelExportPlace, WritesWhereItCanAndSaysWhere)
{
    const ExportCase& c = GetParam();
    if (!c.exeDirWritable)
        ctx.exeDir = dir.filePath("missing/folder/").toStdString();
    // A data folder below a plain file can never be created.
    std::ofstream(dir.filePath("plain").toStdString()) << "x";
    qputenv("XDG_DATA_HOME", (c.dataDirWritable ? dir.filePath("data") : dir.filePath("plain")).toUtf8());
    panel->AppendLogLine("one");
    panel->AppendLogLine("two\n");

    panel->OnExport();

    const std::string inExe = ctx.exeDir + "ISP_log.txt";
    const std::string inData = dir.filePath("data/Corvane/Pagewise/ISP_log.txt").toStdString();
    if (!c.exeDirWritable && !c.dataDirWritable) {
        const std::vector<test::RecordingBoxes::Box> shown = boxes.boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "Could not create the file!");
        EXPECT_EQ(shown[0].icon, BoxIcon::Plain);
        EXPECT_TRUE(viewed.empty());
        EXPECT_EQ(logLines(), (QStringList{"one", "two", QString::fromStdString("Could not create " + inExe)}));
        return;
    }
    const std::string written = c.exeDirWritable ? inExe : inData;
    EXPECT_EQ(readFile(written), "one\r\ntwo\n\r\n");
    EXPECT_EQ(viewed, std::vector<std::string>{written});
    EXPECT_TRUE(boxes.texts().empty());
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), c.exeDirWritable ? 2 : 3);
    if (!c.exeDirWritable) {
        EXPECT_TRUE(lines[2].contains(QString::fromStdString(inData))) << lines[2].toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, IspPanelExportPlace,
                         ::testing::Values(ExportCase{"program_folder", true, false},
                                           ExportCase{"user_data_folder", false, true},
                                           ExportCase{"nowhere", false, false}),
                         [](const auto& param) { return std::string(param.param.name); });

// The panel lends the port to the Dump dialog and must own it again afterwards: an operation
// started after the dialog closed has to be answered.
TEST_F(IspPanelSim, DumpFromThePanelGivesThePortBack)
{
    sim.sim().setFlash(filled(0x5A));
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    bool dumped = false;
    OnDialogShown<DumpDialog> drive([&](DumpDialog& dialog) {
        dialog.findChild<QRadioButton*>("binFile")->click();
        QSignalSpy ended(&dialog, &DumpDialog::dumpEnded);
        dialog.onExcute();
        dumped = ended.wait(kRunTimeoutMs);
        dialog.accept();
    });
    panel->showAdvancedButtons();
    click("dump");
    QDir::setCurrent(oldCurrent);

    ASSERT_TRUE(drive.fired());
    ASSERT_TRUE(dumped);
    EXPECT_EQ(readFile(dir.filePath("Dump.bin").toStdString()), std::string(512, '\x5A'));
    EXPECT_EQ(ctx.portOpen.load(), 1);

    ctx.ispStartAddr = 0;
    sim.sim().clearFrames();
    runOperation("erase");
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    EXPECT_EQ(sim.sim().flash()[0], 0xFF);
}

} // namespace
} // namespace pw
