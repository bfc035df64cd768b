// Message boxes from other threads: shown on the GUI thread, holding a worker but never the
// port's monitor. (Received bytes take the same way to the GUI thread in every panel test.)
#include "gui/support/GuiMessageBoxes.h"
#include "support/GuiTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace pw {
namespace {

using namespace std::chrono_literals;

// Serves GUI events until `done` holds or a generous deadline passes.
template <typename Done> bool serveUntil(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

struct SeenBox {
    QString caption;
    QMessageBox::Icon icon;
    bool onGuiThread;
    bool senderReturnedFirst;
};

// Closes the first message box that opens and remembers what it showed.
class BoxCloser {
public:
    explicit BoxCloser(const std::atomic<bool>& senderReturned)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, &senderReturned] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || seen)
                return;
            seen = SeenBox{box->windowTitle(), box->icon(), box->thread() == qApp->thread(), senderReturned.load()};
            box->button(QMessageBox::Ok)->click();
        });
        timer_.start(5);
    }
    std::optional<SeenBox> seen;

private:
    QTimer timer_;
};

// A worker's box holds the worker until the user closes it; the monitor's box is posted and
// never holds the monitor (which must go on reading).
TEST(GuiMessageBoxes, AWorkerWaitsForItsBoxThePortMonitorDoesNot)
{
    test::ensureGuiApplication();
    GuiMessageBoxes boxes;
    std::atomic<bool> returned{false};
    BoxCloser closer(returned);
    std::thread worker([&] {
        boxes.show("Pagewise", "Wait COM port timeout, pls check MCU and COM port status!", BoxIcon::Stop);
        returned = true;
    });
    EXPECT_TRUE(serveUntil([&] { return returned.load(); }));
    worker.join();
    ASSERT_TRUE(closer.seen);
    EXPECT_EQ(closer.seen->caption, QStringLiteral("Pagewise"));
    EXPECT_EQ(closer.seen->icon, QMessageBox::Critical);
    EXPECT_TRUE(closer.seen->onGuiThread);
    EXPECT_FALSE(closer.seen->senderReturnedFirst);

    std::thread monitor([&] { boxes.post("Application Error", "Input/output error", BoxIcon::Plain); });
    monitor.join(); // returns although the GUI thread has served nothing yet
    BoxCloser posted(returned);
    EXPECT_TRUE(serveUntil([&] { return posted.seen.has_value(); }));
    EXPECT_EQ(posted.seen->caption, QStringLiteral("Application Error"));
}

} // namespace
} // namespace pw
