// What other threads hand to the GUI thread: message boxes from workers and the monitor,
// and every received byte on its way to the panel's matcher.
#include "gui/support/GuiMessageBoxes.h"
#include "gui/support/GuiThreadSink.h"
#include "support/GuiTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

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

class RecordingSink : public ByteSink {
public:
    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override
    {
        const std::lock_guard lock(mutex_);
        bytes_.push_back(byte);
        ports_.push_back(portNumber);
    }
    std::vector<std::uint8_t> bytes() const
    {
        const std::lock_guard lock(mutex_);
        return bytes_;
    }
    std::vector<std::uint32_t> ports() const
    {
        const std::lock_guard lock(mutex_);
        return ports_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint32_t> ports_;
};

std::vector<std::uint8_t> sequence(int count)
{
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 7));
    return bytes;
}

class GuiThreadSinkTest : public ::testing::Test {
protected:
    void SetUp() override { test::ensureGuiApplication(); }

    // Sends `bytes` from another thread as the monitor would.
    void sendFromMonitor(const std::vector<std::uint8_t>& bytes)
    {
        finished_ = false;
        monitor_ = std::thread([this, bytes] {
            const std::size_t before = target_.bytes().size();
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                sink_->receiveByte(bytes[i], 3);
                // Held until handled, unless given up: never ahead of the GUI thread.
                if (!abandoned_ && target_.bytes().size() < before + i + 1)
                    overtaken_ = true;
            }
            finished_ = true;
        });
    }

    RecordingSink target_;
    std::unique_ptr<GuiThreadSink> sink_ = std::make_unique<GuiThreadSink>(target_);
    std::thread monitor_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> overtaken_{false};
};

TEST_F(GuiThreadSinkTest, BytesArriveInOrderAndTheMonitorWaitsForEach)
{
    const auto bytes = sequence(300);
    sendFromMonitor(bytes);
    EXPECT_TRUE(serveUntil([&] { return finished_.load(); }));
    monitor_.join();
    EXPECT_EQ(target_.bytes(), bytes);
    EXPECT_EQ(target_.ports(), std::vector<std::uint32_t>(bytes.size(), 3));
    EXPECT_FALSE(overtaken_);
}

// Closing the port abandons the hand-over while the GUI thread is busy: the monitor is let
// go, nothing queued is lost, and the next port on the sink is held for each byte again.
TEST_F(GuiThreadSinkTest, AbandonReleasesTheMonitorAndLosesNothing)
{
    abandoned_ = true;
    const auto bytes = sequence(50);
    sendFromMonitor(bytes);
    sink_->abandonDelivery();
    monitor_.join(); // hangs if a hand-over still waits on the GUI thread
    EXPECT_TRUE(target_.bytes().empty());
    EXPECT_TRUE(serveUntil([&] { return target_.bytes().size() == bytes.size(); }));
    EXPECT_EQ(target_.bytes(), bytes);

    abandoned_ = false;
    sendFromMonitor(sequence(100));
    EXPECT_TRUE(serveUntil([&] { return finished_.load(); }));
    monitor_.join();
    EXPECT_EQ(target_.bytes().size(), bytes.size() + 100);
    EXPECT_FALSE(overtaken_);
}

TEST_F(GuiThreadSinkTest, BytesQueuedForADestroyedSinkAreDropped)
{
    abandoned_ = true;
    sendFromMonitor(sequence(20));
    sink_->abandonDelivery();
    monitor_.join();
    sink_.reset();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(target_.bytes().empty());
}

} // namespace
} // namespace pw
