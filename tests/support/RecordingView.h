#pragma once
#include "ops/OperationView.h"

#include <mutex>
#include <string>
#include <vector>

namespace pw::test {

// An OperationView that remembers what a worker told it; read from the test thread.
class RecordingView : public OperationView {
    template <typename F>
    auto locked(F f) const
    {
        std::lock_guard lock(mutex_);
        return f();
    }

public:
    void appendLogLine(const std::string& line) override
    {
        locked([&] { lines_.push_back(line); });
    }
    void setProgressRange(int low, int high) override
    {
        locked([&] { ranges_.emplace_back(low, high); });
    }
    void setProgressPosition(int) override {}
    void setCancelEnabled(bool) override {}
    void openTextViewer(const std::string& path) override
    {
        locked([&] { viewed_.push_back(path); });
    }

    std::vector<std::string> lines() const
    {
        return locked([&] { return lines_; });
    }
    std::vector<std::pair<int, int>> ranges() const
    {
        return locked([&] { return ranges_; });
    }
    std::vector<std::string> viewed() const
    {
        return locked([&] { return viewed_; });
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<std::pair<int, int>> ranges_;
    std::vector<std::string> viewed_;
};

} // namespace pw::test
