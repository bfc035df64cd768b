// The Dump dialog holding the simulator's port: the range as typed, what a dump writes, and
// closing it mid-dump.
#include "gui/dialogs/DumpDialog.h"
#include "support/EngineBench.h"
#include "support/GuiBench.h"
#include "support/Tables.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace pw::test {
namespace {

class DumpDialogFixture : public GuiBench {
protected:
    DumpDialogFixture() : GuiBench(SimHarness::unpaced()) {}
    void SetUp() override
    {
        GuiBench::SetUp();
        for (std::size_t k = 0; k < flash.size(); ++k)
            flash[k] = static_cast<std::uint8_t>((k * 37 + (k >> 8) * 11) & 0xFF);
        sim.sim().setFlash(flash);
        dialog = std::make_unique<DumpDialog>(ctx);
        dialog->setTextViewer([this](const std::string& path) {
            viewed.push_back(path);
            return true;
        });
        dialog->show();
        boxes.clear();
    }
    void TearDown() override
    {
        dialog.reset();
        GuiBench::TearDown();
    }

    template <typename W>
    W* child(const char* name)
    {
        return dialog->findChild<W*>(QString::fromLatin1(name));
    }
    void setRange(const char* from, const char* count)
    {
        child<QLineEdit>("fromPage")->setText(QString::fromLatin1(from));
        child<QLineEdit>("pageCount")->setText(QString::fromLatin1(count));
    }
    std::string file(const char* name) const { return dir.file(name); }

    sim::FlashBytes flash;
    std::unique_ptr<DumpDialog> dialog;
    std::vector<std::string> viewed;
};

struct RangeRow {
    const char* name;
    const char* fromText;
    const char* countText;
    std::uint32_t fromPage;
    std::uint32_t pageCount;
    const char* first;
    const char* last;
};
using test::PrintTo;

class DumpDialogRange : public DumpDialogFixture, public ::testing::WithParamInterface<RangeRow> {};

// Page numbers are read in hex; the labels show the byte addresses, hex and (decimal).
TEST_P(DumpDialogRange, ReadsHexAndShowsByteAddresses)
{
    const RangeRow& row = GetParam();
    setRange(row.fromText, row.countText);
    EXPECT_EQ(dialog->fromPage(), row.fromPage);
    EXPECT_EQ(dialog->pageCount(), row.pageCount);
    EXPECT_EQ(child<QLabel>("firstAddress")->text(), row.first);
    EXPECT_EQ(child<QLabel>("lastAddress")->text(), row.last);
    EXPECT_TRUE(boxes.texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DumpDialogRange,
    ::testing::Values(RangeRow{"one_two", "1", "2", 1, 2, "200(512)", "5FF(1535)"},
                      RangeRow{"hex_pages", "10", "2", 16, 2, "2000(8192)", "23FF(9215)"},
                      RangeRow{"no_number", "Z", "1", 0, 1, "0(0)", "1FF(511)"},
                      RangeRow{"prefix_and_spaces", "  0x7f", "1", 127, 1, "FE00(65024)", "FFFF(65535)"},
                      RangeRow{"past_the_end_shown", "a", "80", 10, 128, "1400(5120)", "113FF(70655)"},
                      RangeRow{"empty_count", "3G", "", 3, 1, "600(1536)", "7FF(2047)"},
                      // Far past the flash: shown as it is, never wrapped.
                      RangeRow{"no_wrap", "FFFFFFFF", "1", 0xFFFFFFFF, 1, "1FFFFFFFE00(2199023255040)",
                               "1FFFFFFFFFF(2199023255551)"}),
    rowName);

using DumpDialogRun = DumpDialogFixture;

TEST_F(DumpDialogRun, PageCountZeroIsRefusedAndTheCountRestored)
{
    setRange("0", "3");
    child<QLineEdit>("pageCount")->setText("0");
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Page count must be more than 0 !"});
    EXPECT_EQ(child<QLineEdit>("pageCount")->text(), "3");
    EXPECT_EQ(dialog->pageCount(), 3u);
}

// Two dumps in a row at the top rate: the rate switch and the reopen at the end of the first
// must leave the port with the dialog.
TEST_F(DumpDialogRun, DumpsTheChosenPagesInTheChosenForm)
{
    ctx.baudRate = 115200;
    setRange("3", "1");
    child<QRadioButton>("binFile")->click();
    QSignalSpy ended(dialog.get(), &DumpDialog::dumpEnded);
    child<QPushButton>("excute")->click();
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(fileText(file("Dump.bin")), std::string(flash.begin() + 3 * 512, flash.begin() + 4 * 512));
    EXPECT_TRUE(viewed.empty());

    child<QRadioButton>("txtFile")->click();
    child<QPushButton>("excute")->click();
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_EQ(fileText(file("Dump.txt")).rfind("00000600h : ", 0), 0u);
    EXPECT_EQ(viewed, std::vector<std::string>{file("Dump.txt")});
    EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
    EXPECT_EQ(ctx.busy.load(), 0);
}

// Closing mid-dump ends the worker before the dialog's controls, matcher and port go, and
// writes no file.
TEST_F(DumpDialogRun, ClosingMidDumpJoinsTheWorker)
{
    setRange("0", "80");
    child<QRadioButton>("binFile")->click();
    child<QPushButton>("excute")->click();
    ASSERT_TRUE(dialog->dumpRunning());
    child<QPushButton>("excute")->click(); // ignored while it runs
    // Well into the reads, far from their end. The replies are matched on this thread, so
    // the wait has to keep serving events.
    auto* bar = child<QProgressBar>("progress");
    QSignalSpy moved(bar, &QProgressBar::valueChanged);
    while (bar->value() < 20)
        ASSERT_TRUE(moved.wait(60000));
    // The replies wait for this thread, so the worker is held at its next reply: past the
    // frames sent by now, at most that read (and its set-address) may still arrive.
    const std::size_t framesAtCancel = sim.programFrames().size();
    dialog->reject();

    EXPECT_FALSE(dialog->dumpRunning());
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_LE(sim.programFrames().size(), framesAtCancel + 2);
    EXPECT_FALSE(std::filesystem::exists(file("Dump.bin")));
    dialog.reset();
    EXPECT_EQ(ctx.portOpen.load(), 0);
}

} // namespace
} // namespace pw::test
