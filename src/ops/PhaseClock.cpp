#include "ops/PhaseClock.h"

#include <cstdio>

namespace pw {

double PhaseClock::seconds() const
{
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_);
    return static_cast<double>(elapsed.count()) / 1000.0;
}

void PhaseClock::logElapsed(OperationView& view, const char* format) const
{
    char line[80];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(line, sizeof line, format, seconds());
#pragma GCC diagnostic pop
    view.appendLogLine(line);
}

} // namespace pw
