#pragma once
// Test doubles for the serial driver: a byte sink that records, and message boxes a test
// can wait on.
#include "serial/ByteSink.h"
#include "support/LineEnd.h"
#include "support/RecordingBoxes.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace pw::test {

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
