#include "gui/support/GuiThreadSink.h"
#include "support/GuiTestApp.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace pw {
namespace {

using namespace std::chrono_literals;

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

// Serves GUI events until `done` holds or a generous deadline passes.
template <typename Done>
bool serveUntil(Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

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
        monitor_ = std::thread([this, bytes] {
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                sink_->receiveByte(bytes[i], 3);
                // Held until handled, unless given up: never ahead of the GUI thread.
                if (!abandoned_ && target_.bytes().size() < i + 1)
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

TEST_F(GuiThreadSinkTest, AbandonReleasesAMonitorWhileTheGuiThreadIsBusy)
{
    // The GUI thread serves nothing here, as when it is closing the port.
    abandoned_ = true;
    const auto bytes = sequence(50);
    sendFromMonitor(bytes);
    sink_->abandonDelivery();
    monitor_.join(); // hangs if a hand-over still waits on the GUI thread
    EXPECT_TRUE(target_.bytes().empty());

    // Nothing is lost: the queued bytes follow in order once events are served.
    EXPECT_TRUE(serveUntil([&] { return target_.bytes().size() == bytes.size(); }));
    EXPECT_EQ(target_.bytes(), bytes);

    // A new port on the same sink: the monitor is held for each byte again.
    abandoned_ = false;
    finished_ = false;
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
