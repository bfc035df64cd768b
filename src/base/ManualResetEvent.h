#pragma once
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <vector>

namespace pw {

// An event that stays signalled until it is reset, like a Win32 manual-reset event.
// Several events can be waited on at once (a reply wait that also wakes on Cancel).
class ManualResetEvent {
public:
    ManualResetEvent() = default;
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set();
    void reset();
    bool isSet() const;

    // True when the event was set before the time-out passed; a zero time-out only polls.
    bool waitFor(std::chrono::milliseconds timeout);

    // Index of the first signalled event in `events`, or -1 when the time-out passed first.
    // Without a time-out it waits as long as it takes.
    static int waitAny(std::initializer_list<ManualResetEvent*> events,
                       std::optional<std::chrono::milliseconds> timeout);

private:
    struct Waiter {
        std::mutex mutex;
        std::condition_variable wake;
        bool woken = false;
    };

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
    std::vector<Waiter*> waiters_;
};

} // namespace pw
