#include "gui/support/GuiMessageBoxes.h"
#include "support/GuiTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace pw {
namespace {

using namespace std::chrono_literals;

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
    bool onGuiThread;
    bool senderReturnedBeforeClose;
};

// Closes the first message box that opens and remembers what it showed.
class BoxCloser {
public:
    explicit BoxCloser(const std::atomic<bool>* senderReturned = nullptr) : senderReturned_(senderReturned)
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeOpenBox(); });
        timer_.start();
    }
    std::optional<SeenBox> seen;

private:
    void closeOpenBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || seen)
            return;
        seen = SeenBox{box->windowTitle(), box->text(), box->icon(), box->thread() == qApp->thread(),
                       senderReturned_ && senderReturned_->load()};
        box->button(QMessageBox::Ok)->click();
    }
    const std::atomic<bool>* senderReturned_;
    QTimer timer_;
};

bool serveUntil(const std::atomic<bool>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class GuiMessageBoxesTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGuiApplication(); }
};

TEST_F(GuiMessageBoxesTest, AWorkerIsHeldUntilItsBoxIsClosed)
{
    GuiMessageBoxes boxes;
    std::atomic<bool> returned{false};
    BoxCloser closer(&returned);
    std::thread worker([&] {
        boxes.show("Pagewise", "Wait COM port timeout, pls check MCU and COM port status!", BoxIcon::Stop);
        returned = true;
    });
    EXPECT_TRUE(serveUntil(returned));
    worker.join();
    ASSERT_TRUE(closer.seen);
    EXPECT_FALSE(closer.seen->senderReturnedBeforeClose);
    EXPECT_EQ(closer.seen->caption, QStringLiteral("Pagewise"));
    EXPECT_EQ(closer.seen->text, QStringLiteral("Wait COM port timeout, pls check MCU and COM port status!"));
    EXPECT_EQ(closer.seen->icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen->onGuiThread);
}

TEST_F(GuiMessageBoxesTest, APostedBoxDoesNotHoldItsSender)
{
    GuiMessageBoxes boxes;
    std::thread monitor([&] { boxes.post("Application Error", "Input/output error", BoxIcon::Plain); });
    monitor.join(); // returns although the GUI thread has served nothing yet

    BoxCloser closer;
    std::atomic<bool> shown{false};
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { shown = closer.seen.has_value(); });
    poll.start(5);
    EXPECT_TRUE(serveUntil(shown));
    EXPECT_EQ(closer.seen->caption, QStringLiteral("Application Error"));
    EXPECT_EQ(closer.seen->icon, QMessageBox::NoIcon);
}

} // namespace
} // namespace pw
