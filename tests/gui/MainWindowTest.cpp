#include "gui/MainWindow.h"
#include "gui/panel/IspPanel.h"
#include "support/PanelFixture.h"
#include "support/RecordingBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QStyle>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

// The window on a port that is not there: the panel reports it and goes on without a link.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        ctx.timings.openLinkPause = ctx.timings.closePortPause = std::chrono::milliseconds(1);
        ctx.portMap.assign(ctx.comPort, dir.filePath(QStringLiteral("no-such-tty")).toStdString());
        window = std::make_unique<MainWindow>(ctx, store);
        window->show();
    }
    void trigger(const QString& menu) { named<QAction>(*window->menuBar(), menu)->trigger(); }

    QTemporaryDir dir;
    test::RecordingBoxes boxes;
    IspContext ctx{boxes};
    SettingsStore store{dir.filePath(QStringLiteral("user.conf")).toStdString(),
                        dir.filePath(QStringLiteral("system.conf")).toStdString()};
    std::unique_ptr<MainWindow> window;
};

// A keyboard user can start at once; Help reveals Dump and Export, and a whole flash's
// figures still fit beside them.
TEST_F(MainWindowTest, OpensOnLoadHelpRevealsTheAdvancedButtonsAndTheFieldsStillFit)
{
    ASSERT_TRUE(window->focusWidget());
    EXPECT_EQ(window->focusWidget()->objectName(), QStringLiteral("load"));
    QPushButton* dump = named<QPushButton>(*window->panel(), QStringLiteral("Dump"));
    ASSERT_TRUE(dump && !dump->isVisible());
    test::OnDialogShown<QDialog> about([](QDialog& dialog) {
        named<QPushButton>(dialog, QStringLiteral("Show advanced buttons"))->click();
        dialog.reject();
    });
    trigger(QStringLiteral("Help"));
    EXPECT_TRUE(dump->isVisible());
    EXPECT_TRUE(named<QPushButton>(*window->panel(), QStringLiteral("Export"))->isVisible());
    window->resize(window->minimumSizeHint());
    QCoreApplication::processEvents();
    for (const auto& [name, longest] : {std::pair{"size", "65536/184331"}, std::pair{"checksum", "FFFF/FFFF"}}) {
        auto* field = window->panel()->findChild<QLineEdit*>(QString::fromLatin1(name));
        // The text needs its advance, QLineEdit's 2 px inner margin and the frame, each side.
        const int frame = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
        EXPECT_GE(field->width(), field->fontMetrics().horizontalAdvance(QString::fromLatin1(longest)) + 4 + 2 * frame)
            << name;
    }
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

} // namespace
} // namespace pw
