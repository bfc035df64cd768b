#pragma once
#include "ops/OperationView.h"

#include <mutex>
#include <string>
#include <vector>

namespace pw::test {

// An OperationView that remembers what a worker told it; read from the test thread.
class RecordingView : public OperationView {
public:
    void appendLogLine(const std::string& line) override
    {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }
    void setProgressRange(int low, int high) override
    {
        std::lock_guard lock(mutex_);
        ranges_.emplace_back(low, high);
    }
    void setProgressPosition(int position) override
    {
        std::lock_guard lock(mutex_);
        positions_.push_back(position);
    }
    void setCancelEnabled(bool enabled) override
    {
        std::lock_guard lock(mutex_);
        cancelStates_.push_back(enabled);
    }
    void openTextViewer(const std::string& path) override
    {
        std::lock_guard lock(mutex_);
        viewed_.push_back(path);
    }

    std::vector<std::string> lines() const { return copy(lines_); }
    std::vector<std::pair<int, int>> ranges() const { return copy(ranges_); }
    std::vector<int> positions() const { return copy(positions_); }
    std::vector<bool> cancelStates() const { return copy(cancelStates_); }
    std::vector<std::string> viewed() const { return copy(viewed_); }

private:
    template <typename T>
    T copy(const T& field) const
    {
        std::lock_guard lock(mutex_);
        return field;
    }

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<std::pair<int, int>> ranges_;
    std::vector<int> positions_;
    std::vector<bool> cancelStates_;
    std::vector<std::string> viewed_;
};

} // namespace pw::test
