#pragma once
#include <atomic>
#include <functional>
#include <thread>

namespace pw::cli {

// Turns SIGINT/SIGTERM into a call on a thread of its own, so Ctrl-C cancels the runs like
// the Cancel button instead of killing the process with the port half-way through a frame.
// Construct it before any other thread: it blocks the signals for every thread made later.
class InterruptWatcher {
public:
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

    bool interrupted() const;

private:
    void watch();

    std::function<void()> onInterrupt_;
    int signalFd_ = -1;
    int stopFd_ = -1;
    std::atomic<bool> interrupted_{false};
    std::thread thread_;
};

} // namespace pw::cli
