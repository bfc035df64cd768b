#pragma once
#include "cli/Console.h"
#include "base/MessageBoxes.h"
#include "ops/OperationView.h"

#include <string>

namespace pw::cli {

// Message boxes become lines on stderr.
class ConsoleBoxes : public MessageBoxes {
public:
    ConsoleBoxes(Console& console, std::size_t slot) : console_(console), slot_(slot) {}
    void show(const std::string& caption, const std::string& text, BoxIcon icon) override;

private:
    Console& console_;
    std::size_t slot_;
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

private:
    Console& console_;
    std::size_t slot_;
};

} // namespace pw::cli
