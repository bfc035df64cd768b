#pragma once
#include "base/MessageBoxes.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace pw::test {

// Message boxes that are "closed" at once and remembered, for assertions from any thread.
class RecordingBoxes : public MessageBoxes {
public:
    struct Box {
        std::string caption;
        std::string text;
        BoxIcon icon;
    };

    void show(const std::string& caption, const std::string& text, BoxIcon icon) override
    {
        std::lock_guard lock(mutex_);
        boxes_.push_back({caption, text, icon});
        shown_.notify_all();
    }
    std::vector<Box> boxes() const
    {
        std::lock_guard lock(mutex_);
        return boxes_;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const Box& box : boxes())
            result.push_back(box.text);
        return result;
    }
    bool waitForCount(std::size_t count, std::chrono::milliseconds wait)
    {
        std::unique_lock lock(mutex_);
        return shown_.wait_for(lock, wait, [&] { return boxes_.size() >= count; });
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        boxes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable shown_;
    std::vector<Box> boxes_;
};

} // namespace pw::test
