#pragma once
#include <string>

namespace pw {

// The timed phases of a run, each begun with its log line and ended with its elapsed time.
enum class Phase { Erase, Program, Verify };
const char* phaseName(Phase phase); // "erase", "program", "verify"

// What a running operation tells its window. Called from the worker thread; a GUI
// implementation forwards each call to the GUI thread. Boxes go through IspContext::boxes.
class OperationView {
public:
    virtual ~OperationView() = default;
    virtual void appendLogLine(const std::string& line) = 0;
    virtual void setProgressRange(int low, int high) = 0;
    virtual void setProgressPosition(int position) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // The Dump dialog shows its bar only while a dump runs.
    virtual void setProgressVisible(bool /*visible*/) {}
    // Shows a text file in the desktop's viewer (Dump.txt, ISP_log.txt).
    virtual void openTextViewer(const std::string& /*path*/) {}
    // For front ends that report phases as such (the command line's event stream).
    virtual void phaseBegan(Phase /*phase*/) {}
    virtual void phaseEnded(Phase /*phase*/, double /*seconds*/) {}
};

} // namespace pw
