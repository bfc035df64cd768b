#pragma once
#include "cli/Console.h"
#include "base/MessageBoxes.h"
#include "ops/OperationView.h"

#include <map>
#include <mutex>
#include <string>

namespace pw::cli {

// Message boxes become lines on stderr; the last one is kept as the port's reason.
class ConsoleBoxes : public MessageBoxes {
public:
    ConsoleBoxes(Console& console, std::size_t slot) : console_(console), slot_(slot) {}
    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;
    std::string lastText() const;

private:
    Console& console_;
    std::size_t slot_;
    mutable std::mutex mutex_;
    std::string last_;
};

// The log list becomes lines on stdout, the progress bar a line on stderr; phases are events.
class ConsoleView : public OperationView {
public:
    ConsoleView(Console& console, std::size_t slot) : console_(console), slot_(slot) {}
    void appendLogLine(const std::string& line) override;
    void setProgressRange(int low, int high) override;
    void setProgressPosition(int position) override;
    void setCancelEnabled(bool) override {}
    void phaseBegan(Phase phase) override;
    void phaseEnded(Phase phase, double seconds) override;
    // The seconds of each phase that ended well since the last call, by phase name.
    std::map<std::string, double> takePhaseSeconds();

private:
    Console& console_;
    std::size_t slot_;
    std::mutex mutex_;
    std::map<std::string, double> phaseSeconds_;
};

} // namespace pw::cli
