#include "gui/MainWindow.h"
#include "support/PanelFixture.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

namespace pw {
namespace {

template <typename T>
T* named(QWidget& parent, const QString& text)
{
    for (T* item : parent.findChildren<T*>())
        if (item->text() == text)
            return item;
    return nullptr;
}

// The window with its own settings files, on the device `port` names.
class WindowFixture : public ::testing::Test {
protected:
    void open(const std::string& port)
    {
        test::ensureGuiApplication();
        test::shortenPauses(ctx.timings);
        test::allowSlowReplies(ctx.timings);
        ctx.portMap.assign(ctx.comPort, port);
        window = std::make_unique<MainWindow>(ctx, store);
        window->show();
    }

    QTemporaryDir dir;
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    SettingsStore store{dir.filePath(QStringLiteral("user.conf")).toStdString(),
                        dir.filePath(QStringLiteral("system.conf")).toStdString()};
    std::unique_ptr<MainWindow> window;
};

// The window on a port that is not there: the panel reports it and goes on without a link.
class MainWindowTest : public WindowFixture {
protected:
    void SetUp() override { open(dir.filePath(QStringLiteral("no-such-tty")).toStdString()); }
    void trigger(const QString& menu) { named<QAction>(*window->menuBar(), menu)->trigger(); }
};

// A keyboard user can start at once; the View menu's checkable item shows Dump and Export, and
// the next window remembers the choice.
TEST_F(MainWindowTest, OpensOnLoadTheViewMenuShowsDumpAndExportAndRemembersIt)
{
    ASSERT_TRUE(window->focusWidget());
    EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("load"));
    QPushButton* dump = named<QPushButton>(*window->panel(), QStringLiteral("Dump"));
    ASSERT_TRUE(dump && !dump->isVisible());
    QAction* item = named<QAction>(*window->menuBar(), QStringLiteral("Dump and Export Buttons"));
    ASSERT_TRUE(item && item->isCheckable() && !item->isChecked());
    item->trigger();
    EXPECT_TRUE(dump->isVisible());
    EXPECT_TRUE(named<QPushButton>(*window->panel(), QStringLiteral("Export"))->isVisible());
    window.reset();
    MainWindow next(ctx, store);
    EXPECT_TRUE(named<QAction>(*next.menuBar(), QStringLiteral("Dump and Export Buttons"))->isChecked());
    EXPECT_FALSE(named<QPushButton>(*next.panel(), QStringLiteral("Dump"))->isHidden());
}

// Exit is only a request while the command runs: the window closes, and lets the port go, after.
TEST_F(MainWindowTest, ExitClosesTheWindowAfterTheCommandReturned)
{
    trigger(QStringLiteral("Exit"));
    EXPECT_TRUE(window->isVisible());
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ctx.portOpen, 0);
}

// The window on a slow simulated line, so that a drop can arrive while a run is on.
class WindowDrop : public WindowFixture {
protected:
    void SetUp() override { open(sim.slavePath()); }
    // Drags `urls` over the window and drops them; whether the window took the drag.
    bool drop(const QList<QUrl>& urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDropEvent dropped(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &dropped);
        return enter.isAccepted();
    }
    QString size() const { return window->panel()->findChild<QLineEdit*>(QStringLiteral("size"))->text(); }
    QUrl file(const char* name, std::size_t length) const
    {
        return QUrl::fromLocalFile(QString::fromStdString(
            test::writeFile(dir.filePath(QString::fromLatin1(name)).toStdString(), std::string(length, '\x5A'))));
    }

    test::SimHarness sim{test::SimHarness::withFaults({{sim::Fault::Kind::Slow, 5}})};
};

// One local .hex or .bin file dropped loads as Load Hex/Bin does; anything else, and any drop
// while a run is on, changes nothing. Cancel ends that run without a success line.
TEST_F(WindowDrop, LoadsOneImageFileAndNothingWhileARunIsOn)
{
    EXPECT_TRUE(drop({file("first.bin", 0x2000)}));
    EXPECT_EQ(size(), QStringLiteral("8192"));
    for (const QList<QUrl>& refused :
         {QList<QUrl>{file("notes.txt", 3)}, QList<QUrl>{file("a.bin", 16), file("b.bin", 16)},
          QList<QUrl>{QUrl(QStringLiteral("https://example.com/fw.bin"))}}) {
        EXPECT_FALSE(drop(refused));
        EXPECT_EQ(size(), QStringLiteral("8192"));
    }
    IspPanel* panel = window->panel();
    const auto click = [panel](const char* button) { panel->findChild<QPushButton*>(button)->click(); };
    QSignalSpy ended(panel, &IspPanel::operationEnded);
    click("program");
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.programFrames().size() >= 20; }, 20000));
    EXPECT_FALSE(drop({file("second.bin", 16)}));
    EXPECT_EQ(size(), QStringLiteral("8192"));
    click("cancel");
    ASSERT_TRUE(ended.wait(60000));
    EXPECT_TRUE(panel->findChild<QListWidget*>(QStringLiteral("log"))
                    ->findItems(QStringLiteral("elapsed"), Qt::MatchContains)
                    .isEmpty())
        << "a cancelled run logged its elapsed time";
    EXPECT_TRUE(drop({file("second.bin", 16)}));
    EXPECT_EQ(size(), QStringLiteral("16"));
    EXPECT_EQ(panel->imagePath(), dir.filePath(QStringLiteral("second.bin")).toStdString());
}

} // namespace
} // namespace pw
