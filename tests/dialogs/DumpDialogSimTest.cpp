#include "gui/dialogs/DumpDialog.h"
#include "ops/OperationTexts.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"
#include "support/SimHarness.h"

#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace pw {
namespace {

using namespace std::chrono_literals;

constexpr int kRunTimeoutMs = 60000;

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every byte differs from its neighbours and from its page's twin, so a shifted or mixed-up
// read shows.
sim::FlashBytes patternFlash()
{
    sim::FlashBytes flash;
    for (std::size_t k = 0; k < flash.size(); ++k)
        flash[k] = static_cast<std::uint8_t>((k * 37 + (k >> 8) * 11) & 0xFF);
    return flash;
}

// A Dump dialog holding the simulator's port, with Dump.txt / Dump.bin going to a folder of
// the test's own.
class DumpDialogSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        ASSERT_TRUE(sim.started());
        ASSERT_TRUE(dir.isValid());
        oldCurrent = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        Timings& t = ctx.timings;
        t.openLinkPause = t.closePortPause = t.baudSwitchPause = t.afterSwitchPause = 3ms;
        t.reopenClosePause = t.reopenPause = t.afterOperationPause = t.dumpHandOverPause = 3ms;
        sim.mapInto(ctx);
        sim.sim().setFlash(flash);
        dialog = std::make_unique<DumpDialog>(ctx);
        dialog->setTextViewer([this](const std::string& path) { viewed.push_back(path); });
        dialog->show();
    }
    void TearDown() override
    {
        dialog.reset();
        QDir::setCurrent(oldCurrent);
    }

    template <typename W> W* child(const char* name) { return dialog->findChild<W*>(QString::fromLatin1(name)); }
    void setRange(const char* from, const char* count, bool asText)
    {
        child<QLineEdit>("fromPage")->setText(QString::fromLatin1(from));
        child<QLineEdit>("pageCount")->setText(QString::fromLatin1(count));
        child<QRadioButton>(asText ? "txtFile" : "binFile")->click();
    }
    bool runDump()
    {
        QSignalSpy ended(dialog.get(), &DumpDialog::dumpEnded);
        QTest::mouseClick(child<QPushButton>("excute"), Qt::LeftButton);
        return ended.wait(kRunTimeoutMs);
    }
    std::string file(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }

    test::SimHarness sim;
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    QTemporaryDir dir;
    QString oldCurrent;
    const sim::FlashBytes flash = patternFlash();
    std::unique_ptr<DumpDialog> dialog;
    std::vector<std::string> viewed;
};

TEST_F(DumpDialogSim, OnePageToBinaryIsTheFlashPage)
{
    setRange("3", "1", false);
    ASSERT_TRUE(runDump());
    const std::string bytes = readFile(file("Dump.bin"));
    EXPECT_EQ(bytes, std::string(flash.begin() + 3 * 512, flash.begin() + 4 * 512));
    EXPECT_FALSE(std::filesystem::exists(file("Dump.txt")));
    EXPECT_TRUE(viewed.empty());
    EXPECT_TRUE(boxes.texts().empty());
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
}

TEST_F(DumpDialogSim, OnePageToTextIsAListingOf32Rows)
{
    setRange("0", "1", true);
    ASSERT_TRUE(runDump());
    const std::string text = readFile(file("Dump.txt"));
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(text.substr(from, end - from));
    EXPECT_EQ(from, text.size()) << "text after the last CR LF";
    ASSERT_EQ(lines.size(), 32u);
    for (std::size_t row = 0; row < lines.size(); ++row) {
        char want[80];
        int n = std::snprintf(want, sizeof want, "%08zxh : %02X", row * 16, flash[row * 16]);
        for (std::size_t k = 1; k < 16; ++k)
            n += std::snprintf(want + n, sizeof want - static_cast<std::size_t>(n), " %02X", flash[row * 16 + k]);
        EXPECT_EQ(lines[row], want) << "row " << row;
    }
    EXPECT_EQ(lines[0].rfind("00000000h : ", 0), 0u);
    EXPECT_EQ(viewed, std::vector<std::string>{file("Dump.txt")});
    EXPECT_TRUE(boxes.texts().empty());
}

struct RefusedRange {
    const char* name;
    const char* fromText;
    const char* countText;
    std::uint64_t fromPage;
    std::uint64_t pageCount;
};

class DumpDialogRefuses : public DumpDialogSim, public ::testing::WithParamInterface<RefusedRange> {};

// Beyond 128 pages or past address 0x10000 the read-back buffer or the 16-bit wire address
// would be overrun: the user is told, and the target hears nothing.
TEST_P(DumpDialogRefuses, RangeBeyondTheFlashIsToldAndNothingIsSent)
{
    const RefusedRange& c = GetParam();
    setRange(c.fromText, c.countText, false);
    ASSERT_TRUE(runDump());
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{dumpRangeText(c.fromPage, c.pageCount)});
    EXPECT_TRUE(sim.programFrames().empty());
    EXPECT_FALSE(std::filesystem::exists(file("Dump.bin")));
    EXPECT_EQ(ctx.busy.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ranges, DumpDialogRefuses,
                         ::testing::Values(RefusedRange{"more_than_128_pages", "0", "81", 0, 0x81},
                                           RefusedRange{"ends_above_64k", "7F", "2", 0x7F, 2},
                                           RefusedRange{"starts_above_64k", "100", "1", 0x100, 1},
                                           RefusedRange{"wraps_32_bits", "FFFFFFFF", "1", 0xFFFFFFFF, 1}),
                         [](const auto& param) { return std::string(param.param.name); });

// Closing mid-dump must end the worker before the dialog's controls, matcher and port go.
TEST_F(DumpDialogSim, ClosingMidDumpJoinsTheWorker)
{
    setRange("0", "80", false);
    QTest::mouseClick(child<QPushButton>("excute"), Qt::LeftButton);
    ASSERT_TRUE(dialog->dumpRunning());
    // Well into the reads, far from their end. The replies are matched on this thread, so
    // the wait has to keep serving events.
    auto* bar = child<QProgressBar>("progress");
    QSignalSpy moved(bar, &QProgressBar::valueChanged);
    while (bar->value() < 20)
        ASSERT_TRUE(moved.wait(kRunTimeoutMs));
    dialog->reject();

    EXPECT_FALSE(dialog->dumpRunning());
    EXPECT_EQ(ctx.busy.load(), 0);
    const std::size_t sent = sim.programFrames().size();
    EXPECT_LT(sent, 8192u);
    EXPECT_FALSE(std::filesystem::exists(file("Dump.bin")));
    dialog.reset();
    EXPECT_EQ(ctx.portOpen.load(), 0);
    EXPECT_EQ(sim.programFrames().size(), sent);
}

} // namespace
} // namespace pw
