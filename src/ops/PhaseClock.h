#pragma once
#include "ops/OperationView.h"

#include <chrono>

namespace pw {

// One timed phase: logs its begin line and tells the view on construction, and at its end
// logs the elapsed-time line in seconds with one decimal.
class PhaseClock {
public:
    PhaseClock(OperationView& view, Phase phase, const char* beginLine);
    double seconds() const;
    // `format` is one of the elapsed-time formats with a single %2.1f.
    void logElapsed(const char* format) const;

private:
    OperationView& view_;
    Phase phase_;
    std::chrono::steady_clock::time_point began_;
};

} // namespace pw
