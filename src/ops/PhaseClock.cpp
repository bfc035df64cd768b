#include "ops/PhaseClock.h"

#include <cstdio>

namespace pw {

const char* phaseName(Phase phase)
{
    switch (phase) {
    case Phase::Erase: return "erase";
    case Phase::Program: return "program";
    case Phase::Verify: return "verify";
    }
    return "";
}

PhaseClock::PhaseClock(OperationView& view, Phase phase, const char* beginLine) : view_(view), phase_(phase)
{
    view_.appendLogLine(beginLine);
    view_.phaseBegan(phase_);
    began_ = std::chrono::steady_clock::now();
}

double PhaseClock::seconds() const
{
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_);
    return static_cast<double>(elapsed.count()) / 1000.0;
}

void PhaseClock::logElapsed(const char* format) const
{
    const double elapsed = seconds();
    char line[80];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(line, sizeof line, format, elapsed);
#pragma GCC diagnostic pop
    view_.appendLogLine(line);
    view_.phaseEnded(phase_, elapsed);
}

} // namespace pw
