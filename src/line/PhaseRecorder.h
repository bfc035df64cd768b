#pragma once
#include "ops/OperationView.h"

#include <map>
#include <mutex>
#include <string>

namespace pw {

// Passes a run's view on to the front end's and keeps the seconds of each phase that ended
// well, for the board's record.
class PhaseRecorder : public OperationView {
public:
    explicit PhaseRecorder(OperationView& shown) : shown_(shown) {}
    void appendLogLine(const std::string& line) override { shown_.appendLogLine(line); }
    void setProgressRange(int low, int high) override { shown_.setProgressRange(low, high); }
    void setProgressPosition(int position) override { shown_.setProgressPosition(position); }
    void setCancelEnabled(bool enabled) override { shown_.setCancelEnabled(enabled); }
    void setProgressVisible(bool visible) override { shown_.setProgressVisible(visible); }
    void openTextViewer(const std::string& path) override { shown_.openTextViewer(path); }
    void phaseBegan(Phase phase) override { shown_.phaseBegan(phase); }
    void phaseEnded(Phase phase, double seconds) override;
    // The seconds of each phase that ended since the last call, by phase name.
    std::map<std::string, double> takePhaseSeconds();

private:
    OperationView& shown_;
    std::mutex mutex_;
    std::map<std::string, double> phaseSeconds_;
};

} // namespace pw
