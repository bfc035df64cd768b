#include "line/PhaseRecorder.h"

#include <utility>

namespace pw {

void PhaseRecorder::phaseEnded(Phase phase, double seconds)
{
    shown_.phaseEnded(phase, seconds);
    std::lock_guard lock(mutex_);
    phaseSeconds_[phaseName(phase)] = seconds;
}

std::map<std::string, double> PhaseRecorder::takePhaseSeconds()
{
    std::lock_guard lock(mutex_);
    return std::exchange(phaseSeconds_, {});
}

} // namespace pw
