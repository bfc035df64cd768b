#include "gui/panel/IspPanel.h"
#include "support/ShortPauses.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace pw {
namespace {

using namespace std::chrono_literals;

using test::shortenPauses;

void writeFile(const QString& path, const std::string& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

// Records every enabled/disabled change of a widget.
class EnabledRecorder : public QObject {
public:
    explicit EnabledRecorder(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
    std::vector<bool> changes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == widget_ && event->type() == QEvent::EnabledChange)
            changes.push_back(widget_->isEnabled());
        return false;
    }

private:
    QWidget* widget_;
};

class IspPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        shortenPauses(ctx.timings);
        ASSERT_TRUE(dir.isValid());
        ctx.portMap.assign(1, "/nonexistent/pagewise-panel-test");
        panel = std::make_unique<IspPanel>(ctx, nullptr);
        boxes.clear();
    }

    void TearDown() override
    {
        ctx.busy = 0; // a test that faked a running operation
        panel.reset();
    }

    template <typename W> W* child(const char* name) { return panel->findChild<W*>(QString::fromLatin1(name)); }
    QStringList logLines()
    {
        QStringList lines;
        auto* list = child<QListWidget>("log");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    QString path(const char* name) { return dir.filePath(QString::fromLatin1(name)); }

    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    QTemporaryDir dir;
    std::unique_ptr<IspPanel> panel;
};

TEST_F(IspPanelTest, StartsIdleHoldingThePort)
{
    EXPECT_EQ(ctx.portOpen.load(), 1);
    EXPECT_EQ(ctx.expectedReply.load(), ResponseKind::Idle);
    EXPECT_TRUE(panel->imagePath().empty());
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("dump")->isHidden());
    EXPECT_TRUE(child<QPushButton>("export")->isHidden());
    EXPECT_EQ(child<QLabel>("startAddress")->text(), "ISP Start Address From :0x0");
    EXPECT_TRUE(child<QLabel>("startAddress")->alignment() & Qt::AlignRight);
}

TEST_F(IspPanelTest, AdvancedButtonsAppearOnTheShortcut)
{
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    QTest::keyClick(panel.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(child<QPushButton>("dump")->isHidden());
    EXPECT_FALSE(child<QPushButton>("export")->isHidden());
}

TEST_F(IspPanelTest, StartAddressLineIsSetFromAnyThread)
{
    ASSERT_TRUE(ctx.startAddrLabel);
    std::thread other([this] { ctx.startAddrLabel("ISP Start Address From :0x1800"); });
    other.join();
    QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>("startAddress")->text(), QString("ISP Start Address From :0x1800"), 10000);
}

TEST_F(IspPanelTest, VerifyWithoutImageSaysSoAndStartsNothing)
{
    QTest::mouseClick(child<QPushButton>("verify"), Qt::LeftButton);
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{"BIN file not found!"});
    EXPECT_FALSE(panel->operationRunning());
    EXPECT_EQ(ctx.busy.load(), 0);
}

struct RefusedCase {
    const char* button;
    int portOpen;
    int busy;
};

class IspPanelRefuses : public IspPanelTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(IspPanelRefuses, ClickStartsNothingAndSaysNothing)
{
    const RefusedCase& c = GetParam();
    writeFile(path("image.bin"), std::string(16, '\x11'));
    panel->loadFile(path("image.bin"));
    const QStringList before = logLines();
    boxes.clear();
    ctx.portOpen = c.portOpen;
    ctx.busy = c.busy;

    QTest::mouseClick(child<QPushButton>(c.button), Qt::LeftButton);

    EXPECT_FALSE(panel->operationRunning());
    EXPECT_EQ(ctx.busy.load(), c.busy);
    EXPECT_TRUE(boxes.texts().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(logLines(), before);
    ctx.portOpen = 1;
}

INSTANTIATE_TEST_SUITE_P(Buttons, IspPanelRefuses,
                         ::testing::Values(RefusedCase{"program", 0, 0}, RefusedCase{"auto", 0, 0},
                                           RefusedCase{"verify", 0, 0}, RefusedCase{"erase", 0, 0},
                                           RefusedCase{"program", 1, 1}, RefusedCase{"auto", 1, 1},
                                           RefusedCase{"verify", 1, 1}, RefusedCase{"erase", 1, 1},
                                           RefusedCase{"dump", 1, 1}));

struct LoadCase {
    const char* name;
    std::string content;
    const char* size;     // "%d" or "%d/%d"; "*" stands for the file's own length
    const char* checksum;
    bool becomesImage;
};

class IspPanelLoads : public IspPanelTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(IspPanelLoads, ShowsSizeAndChecksumAndLogsThePath)
{
    const LoadCase& c = GetParam();
    const QString file = path(c.name);
    writeFile(file, c.content);
    panel->loadFile(file);

    const QString size = QString::fromLatin1(c.size).replace("*", QString::number(c.content.size()));
    EXPECT_EQ(child<QLineEdit>("size")->text(), size);
    EXPECT_EQ(child<QLineEdit>("checksum")->text(), c.checksum);
    EXPECT_EQ(logLines(), QStringList{file});
    EXPECT_EQ(!panel->imagePath().empty(), c.becomesImage);
    EXPECT_TRUE(boxes.texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, IspPanelLoads,
    ::testing::Values(LoadCase{"three.bin", std::string("\xFF\xFF\x02", 3), "3", "0200", true},
                      LoadCase{"zeros.HEX", ":1001000000000000000000000000000000000000EF\n:00000001FF\n", "*/272",
                               "0000/FF00", true},
                      LoadCase{"notes.txt", "hello", "", "", false}));

TEST_F(IspPanelTest, LoadingAnotherKindKeepsThePreviousImage)
{
    writeFile(path("a.bin"), "abc");
    panel->loadFile(path("a.bin"));
    writeFile(path("b.txt"), "xyz");
    panel->loadFile(path("b.txt"));
    EXPECT_EQ(panel->imagePath(), path("a.bin").toStdString());
    EXPECT_TRUE(child<QLineEdit>("size")->text().isEmpty());
    EXPECT_EQ(logLines(), (QStringList{path("a.bin"), path("b.txt")}));
}

TEST_F(IspPanelTest, LogKeepsTheLastLineInView)
{
    auto* list = child<QListWidget>("log");
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    for (int i = 0; i < 40; ++i)
        panel->AppendLogLine("line " + std::to_string(i));
    QCoreApplication::processEvents();
    const QRect last = list->visualItemRect(list->item(39));
    EXPECT_TRUE(list->viewport()->rect().contains(last)) << last.y();
    QTest::mouseClick(child<QPushButton>("clear"), Qt::LeftButton);
    EXPECT_EQ(list->count(), 0);
}


struct CancelCase {
    const char* button;
    std::vector<bool> cancelStates; // enabled/disabled changes of Cancel during the run
};

class IspPanelCancel : public IspPanelTest, public ::testing::WithParamInterface<CancelCase> {};

// No target answers here, so each run ends at its first bounded wait.
TEST_P(IspPanelCancel, CancelIsOfferedOnlyWhileProgramVerifyOrAutoRuns)
{
    const CancelCase& c = GetParam();
    writeFile(path("image.bin"), std::string(64, '\x5A'));
    panel->loadFile(path("image.bin"));
    EnabledRecorder cancel(child<QPushButton>("cancel"));
    QSignalSpy ended(panel.get(), &IspPanel::operationEnded);

    QTest::mouseClick(child<QPushButton>(c.button), Qt::LeftButton);
    ASSERT_TRUE(ended.wait(60000));
    QCoreApplication::processEvents();

    EXPECT_EQ(cancel.changes, c.cancelStates);
    EXPECT_FALSE(child<QPushButton>("cancel")->isEnabled());
    EXPECT_EQ(ctx.busy.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, IspPanelCancel,
                         ::testing::Values(CancelCase{"program", {true, false}}, CancelCase{"verify", {true, false}},
                                           CancelCase{"auto", {true, false}}, CancelCase{"erase", {}}));

TEST_F(IspPanelTest, DestroyingThePanelEndsARunningOperationFirst)
{
    writeFile(path("image.bin"), std::string(64, '\x5A'));
    panel->loadFile(path("image.bin"));
    QTest::mouseClick(child<QPushButton>("program"), Qt::LeftButton);
    ASSERT_TRUE(panel->operationRunning());
    panel.reset();
    EXPECT_EQ(ctx.busy.load(), 0);
    EXPECT_EQ(ctx.portOpen.load(), 0);
    EXPECT_FALSE(ctx.startAddrLabel);
}

} // namespace
} // namespace pw
