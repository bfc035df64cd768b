#pragma once
// Test doubles for the serial driver: the far end of a pseudo-terminal line, a byte sink
// that records, and message boxes a test can wait on.
#include "serial/ByteSink.h"
#include "support/RecordingBoxes.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

namespace pw::test {

// A pty master whose slave the port under test opens.
class FarEnd {
public:
    FarEnd();
    ~FarEnd();
    FarEnd(const FarEnd&) = delete;
    FarEnd& operator=(const FarEnd&) = delete;

    const std::string& slavePath() const { return slave_; }
    bool send(const std::vector<std::uint8_t>& bytes) const;
    // What arrives until `count` bytes are in or `wait` has passed.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds wait) const;
    // The slave's settings as the master sees them.
    speed_t lineSpeed() const;
    void hangUp();
    // Closes the master but keeps the slave node: opening it then fails with EIO, as a
    // /dev/ttyS node with no UART behind it does.
    void dropMasterOnly();

private:
    int master_ = -1;
    int keeper_ = -1; // keeps the slave open so the master never hangs up on a reopen
    std::string slave_;
};

class CollectingSink : public ByteSink {
public:
    void receiveByte(std::uint8_t byte, std::uint32_t portNumber) override;
    bool waitFor(std::size_t count);
    std::vector<std::uint8_t> bytes();
    std::uint32_t port();
    bool onOneThreadOtherThan(std::thread::id other); // every byte came on one thread, not `other`

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::uint8_t> bytes_;
    std::uint32_t port_ = 0;
    std::vector<std::thread::id> threads_;
};

class WaitingBoxes : public RecordingBoxes {
public:
    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;
    bool waitForCount(std::size_t count, std::chrono::milliseconds wait);

private:
    std::mutex mutex_;
    std::condition_variable shown_;
    std::size_t count_ = 0;
};

} // namespace pw::test
