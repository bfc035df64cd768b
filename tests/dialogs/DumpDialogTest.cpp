#include "gui/dialogs/DumpDialog.h"
#include "support/ShortPauses.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace pw {
namespace {

using namespace std::chrono_literals;

using test::shortenPauses;

// A dialog on a port that does not exist: nothing answers, which is all the edit rules need.
class DumpDialogEdits : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        shortenPauses(ctx.timings);
        ctx.portMap.assign(1, "/nonexistent/pagewise-dump-test");
        dialog = std::make_unique<DumpDialog>(ctx);
        boxes.clear();
    }

    template <typename W> W* child(const char* name) { return dialog->findChild<W*>(QString::fromLatin1(name)); }
    QString text(const char* label) { return child<QLabel>(label)->text(); }

    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    std::unique_ptr<DumpDialog> dialog;
};

TEST_F(DumpDialogEdits, OpensWithTheFirstPageAsText)
{
    EXPECT_EQ(child<QLineEdit>("fromPage")->text(), "0");
    EXPECT_EQ(child<QLineEdit>("pageCount")->text(), "1");
    EXPECT_EQ(text("firstAddress"), "0(0)");
    EXPECT_EQ(text("lastAddress"), "1FF(511)");
    EXPECT_TRUE(child<QRadioButton>("txtFile")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("binFile")->isChecked());
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("excute")->isEnabled());
    EXPECT_TRUE(child<QProgressBar>("progress")->isHidden());
    EXPECT_EQ(dialog->windowTitle(), "Dialog");
    EXPECT_EQ(ctx.portOpen.load(), 1); // the dialog holds the port
}

struct RangeCase {
    const char* fromText;
    const char* countText;
    std::uint32_t fromPage;
    std::uint32_t pageCount;
    const char* first;
    const char* last;
};

class DumpDialogRange : public DumpDialogEdits, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(DumpDialogRange, ReadsHexAndShowsByteAddresses)
{
    const RangeCase& c = GetParam();
    child<QLineEdit>("fromPage")->setText(QString::fromLatin1(c.fromText));
    child<QLineEdit>("pageCount")->setText(QString::fromLatin1(c.countText));
    EXPECT_EQ(dialog->fromPage(), c.fromPage);
    EXPECT_EQ(dialog->pageCount(), c.pageCount);
    EXPECT_EQ(text("firstAddress"), c.first);
    EXPECT_EQ(text("lastAddress"), c.last);
    EXPECT_TRUE(boxes.texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, DumpDialogRange,
                         ::testing::Values(RangeCase{"1", "2", 1, 2, "200(512)", "5FF(1535)"},
                                           RangeCase{"10", "2", 16, 2, "2000(8192)", "23FF(9215)"},
                                           RangeCase{"Z", "1", 0, 1, "0(0)", "1FF(511)"},
                                           RangeCase{"  0x7f", "1", 127, 1, "FE00(65024)", "FFFF(65535)"},
                                           RangeCase{"a", "80", 10, 128, "1400(5120)", "113FF(70655)"},
                                           RangeCase{"3G", "", 3, 1, "600(1536)", "7FF(2047)"},
                                           // Far past the flash: shown as it is, never wrapped.
                                           RangeCase{"FFFFFFFF", "1", 0xFFFFFFFF, 1, "1FFFFFFFE00(2199023255040)",
                                                     "1FFFFFFFFFF(2199023255551)"}));

TEST_F(DumpDialogEdits, PageCountZeroIsRefusedAndTheCountRestored)
{
    child<QLineEdit>("pageCount")->setText("3");
    child<QLineEdit>("pageCount")->setText("0");
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"Page count must be more than 0 !"});
    EXPECT_EQ(child<QLineEdit>("pageCount")->text(), "3");
    EXPECT_EQ(dialog->pageCount(), 3u);
    EXPECT_EQ(text("lastAddress"), "5FF(1535)");
}

TEST_F(DumpDialogEdits, FileTypeFollowsTheRadioButtons)
{
    QTest::mouseClick(child<QRadioButton>("binFile"), Qt::LeftButton);
    EXPECT_FALSE(dialog->dumpAsText());
    QTest::mouseClick(child<QRadioButton>("txtFile"), Qt::LeftButton);
    EXPECT_TRUE(dialog->dumpAsText());
}

TEST_F(DumpDialogEdits, EnterInAnEditClosesWithoutDumping)
{
    for (const char* edit : {"fromPage", "pageCount"}) {
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        child<QLineEdit>(edit)->setFocus();
        QTest::keyClick(child<QLineEdit>(edit), Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible()) << edit;
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << edit;
        EXPECT_FALSE(dialog->dumpRunning()) << edit;
        EXPECT_EQ(ctx.busy.load(), 0) << edit;
    }
}

TEST_F(DumpDialogEdits, DestructionReleasesThePort)
{
    dialog.reset();
    EXPECT_EQ(ctx.portOpen.load(), 0);
    EXPECT_FALSE(ctx.port.isOpen());
}


TEST_F(DumpDialogEdits, ClosingWhileADumpRunsEndsTheWorkerFirst)
{
    dialog->show();
    QTest::mouseClick(child<QPushButton>("excute"), Qt::LeftButton);
    ASSERT_TRUE(dialog->dumpRunning());
    QTest::mouseClick(child<QPushButton>("excute"), Qt::LeftButton); // ignored while it runs
    dialog->reject();
    EXPECT_FALSE(dialog->dumpRunning());
    EXPECT_EQ(ctx.busy.load(), 0);
    dialog.reset();
    EXPECT_EQ(ctx.portOpen.load(), 0);
}

} // namespace
} // namespace pw
