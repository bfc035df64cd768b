#pragma once
#include "ops/OperationView.h"

#include <chrono>

namespace pw {

// Notes when a phase began and logs its elapsed-time line in seconds with one decimal.
class PhaseClock {
public:
    PhaseClock() : began_(std::chrono::steady_clock::now()) {}
    void restart() { began_ = std::chrono::steady_clock::now(); }
    double seconds() const;
    // `format` is one of the elapsed-time formats with a single %2.1f.
    void logElapsed(OperationView& view, const char* format) const;

private:
    std::chrono::steady_clock::time_point began_;
};

} // namespace pw
