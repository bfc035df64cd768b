#include "gui/MainWindow.h"
#include "gui/panel/IspPanel.h"
#include "support/GuiTestApp.h"
#include "support/RecordingBoxes.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

namespace pw {
namespace {

// Runs `inspect` on the next modal dialog that opens, then closes it.
void onNextModal(std::function<void(QDialog*)> inspect)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->deleteLater();
        timer->stop();
        inspect(dialog);
        dialog->reject();
    });
    timer->start(5);
}

QAction* menuItem(MainWindow& window, const QString& text)
{
    for (QAction* action : window.menuBar()->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::ensureGuiApplication();
        ASSERT_TRUE(dir_.isValid());
        ctx_.timings.openLinkPause = ctx_.timings.closePortPause = std::chrono::milliseconds(1);
        // A port that is not there: the panel reports it and goes on without a link.
        ctx_.portMap.assign(ctx_.comPort, dir_.filePath(QStringLiteral("no-such-tty")).toStdString());
        window_ = std::make_unique<MainWindow>(ctx_, store_);
    }
    void TearDown() override
    {
        if (window_)
            window_->close();
    }

    QTemporaryDir dir_;
    test::RecordingBoxes boxes_;
    IspContext ctx_{boxes_};
    SettingsStore store_{dir_.filePath(QStringLiteral("user.conf")).toStdString(),
                         dir_.filePath(QStringLiteral("system.conf")).toStdString()};
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, IspTwiceKeepsTheOnePanel)
{
    IspPanel* first = window_->panel();
    ASSERT_NE(first, nullptr);
    first->hide();
    menuItem(*window_, QStringLiteral("ISP"))->trigger();
    menuItem(*window_, QStringLiteral("ISP"))->trigger();
    EXPECT_EQ(window_->panel(), first);
    EXPECT_EQ(window_->findChildren<IspPanel*>().size(), 1);
    EXPECT_FALSE(first->isHidden());
}

QPushButton* buttonNamed(QWidget& parent, const QString& text)
{
    for (QPushButton* button : parent.findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

TEST_F(MainWindowTest, HelpRevealsTheHiddenDumpAndExportButtons)
{
    window_->show();
    QPushButton* dump = buttonNamed(*window_->panel(), QStringLiteral("Dump"));
    QPushButton* exportButton = buttonNamed(*window_->panel(), QStringLiteral("Export"));
    ASSERT_TRUE(dump && exportButton);
    EXPECT_FALSE(dump->isVisible());
    EXPECT_FALSE(exportButton->isVisible());
    onNextModal([](QDialog* dialog) {
        if (QPushButton* advanced = buttonNamed(*dialog, QStringLiteral("Show advanced buttons")))
            advanced->click();
    });
    menuItem(*window_, QStringLiteral("Help"))->trigger();
    EXPECT_TRUE(dump->isVisible());
    EXPECT_TRUE(exportButton->isVisible());
}

TEST_F(MainWindowTest, ExitClosesTheWindowAfterTheCommandReturned)
{
    window_->show();
    menuItem(*window_, QStringLiteral("Exit"))->trigger();
    EXPECT_TRUE(window_->isVisible()); // only requested so far
    QCoreApplication::processEvents();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(ctx_.portOpen, 0);
}

} // namespace
} // namespace pw
