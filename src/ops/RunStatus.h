#pragma once
#include "ops/Operations.h"
#include "ops/PhaseClock.h"
#include "protocol/LinkControl.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace pw {

// The flags one run keeps on its way to the ending: still successful, timed out, and what
// to tell the caller. A time-out leaves `success` set, as the ending keys on `timedOut`.
class RunStatus {
public:
    // Takes the result of one wait. False when the run must go to its ending.
    bool proceed(WaitResult result);
    // A failure with its own message (shown already, or none for Cancel).
    void fail(Outcome outcome, std::string message);
    bool success() const { return success_; }
    bool timedOut() const { return timedOut_; }

    // CmdLeaveIsp went out as the last step of a completed run.
    void markLeft() { leftIsp_ = true; }
    bool leftIsp() const { return leftIsp_; }
    void addBytes(std::uint64_t bytes) { bytes_ += bytes; }
    void setMessage(std::string message) { message_ = std::move(message); }

    OperationResult result() const;
    // A check before the first frame: a refusal is shown in the box and ends the run with
    // `outcome` and the same text. True when there was none.
    bool passes(MessageBoxes& boxes, const std::optional<std::string>& refusal, Outcome outcome);

private:
    bool success_ = true;
    bool timedOut_ = false;
    bool leftIsp_ = false;
    Outcome outcome_ = Outcome::Success;
    std::string message_;
    std::uint64_t bytes_ = 0;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

// Sends CmdLeaveIsp without waiting for a reply.
void leaveIsp(IspContext& ctx);
// The last phase of a run ended well: CmdLeaveIsp goes out, then the phase's elapsed-time line.
void leaveAfterLastPhase(IspContext& ctx, RunStatus& status, const PhaseClock& clock, const char* elapsedFormat);

// Whether the ending sends CmdLeaveIsp after a failure that was not a time-out. A dump leaves
// ISP only after its last read: a cancelled dump leaves the target as it is.
enum class LeaveAfterFailure { Send, Skip };

// The ending of runs that may switch the rate (Program, Verify, Auto, Dump): the time-out box,
// progress 0 and Cancel off, CmdLeaveIsp where owed, the port reopened at the base rate (closed
// after a hang-up), the pause, and `busy` lowered as the very last action.
OperationResult finishLinkRun(IspContext& ctx, OperationView& view, RunStatus& status,
                              LeaveAfterFailure leave = LeaveAfterFailure::Send);
// Program, Verify and Auto: Cancel offered, progress 0, then `body` and the link ending above.
OperationResult runLinkOperation(IspContext& ctx, OperationView& view, const std::function<void(RunStatus&)>& body);
// The ending of the erases: the time-out box, CmdLeaveIsp after a Cancel, the port closed after
// a hang-up, progress 0, `busy` 0.
OperationResult finishEraseRun(IspContext& ctx, OperationView& view, RunStatus& status);

} // namespace pw
