#include "base/ManualResetEvent.h"

#include <algorithm>

namespace pw {

void ManualResetEvent::set()
{
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
    // Waiters are woken while our lock is held, so none can unregister and vanish meanwhile.
    for (Waiter* waiter : waiters_) {
        std::lock_guard waiterLock(waiter->mutex);
        waiter->woken = true;
        waiter->wake.notify_all();
    }
}

void ManualResetEvent::reset()
{
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

bool ManualResetEvent::isSet() const
{
    std::lock_guard lock(mutex_);
    return signalled_;
}

bool ManualResetEvent::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return signalled_; });
}

int ManualResetEvent::waitAny(std::initializer_list<ManualResetEvent*> events,
                              std::optional<std::chrono::milliseconds> timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
    Waiter waiter;
    for (ManualResetEvent* event : events) {
        std::lock_guard lock(event->mutex_);
        event->waiters_.push_back(&waiter);
    }
    auto firstSignalled = [&events] {
        int index = 0;
        for (const ManualResetEvent* event : events) {
            if (event->isSet())
                return index;
            ++index;
        }
        return -1;
    };

    int result = -1;
    for (;;) {
        result = firstSignalled();
        if (result >= 0)
            break;
        std::unique_lock lock(waiter.mutex);
        if (!waiter.woken) {
            if (!timeout) {
                waiter.wake.wait(lock, [&waiter] { return waiter.woken; });
            } else if (!waiter.wake.wait_until(lock, deadline, [&waiter] { return waiter.woken; })) {
                lock.unlock();
                result = firstSignalled();
                break;
            }
        }
        waiter.woken = false;
    }

    for (ManualResetEvent* event : events) {
        std::lock_guard lock(event->mutex_);
        auto& list = event->waiters_;
        list.erase(std::remove(list.begin(), list.end(), &waiter), list.end());
    }
    return result;
}

} // namespace pw
