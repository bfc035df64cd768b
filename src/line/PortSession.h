#pragma once
#include "context/IspContext.h"
#include "line/BoardSerials.h"
#include "line/KeptBoxes.h"
#include "line/Outcomes.h"
#include "line/PhaseRecorder.h"
#include "line/StationSetup.h"
#include "ops/Operations.h"
#include "protocol/ResponseMatcher.h"
#include "settings/Settings.h"

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace pw {

// How one run on one port ended.
struct PortOutcome {
    std::string port;
    std::string operation;
    OperationResult result;
    ExitCode exitCode = ExitSuccess;
    std::optional<PlacedSerial> serial; // the number written into the board (--serial)
};

// The line settings of one port's runs; unset ones come from the settings.
struct PortSetup {
    std::string port; // COMn or a device path; empty: the configured port
    std::optional<std::uint32_t> baud;
    std::optional<std::uint32_t> startAddr;
    bool skipBlank = false;
};

// One target on one port: its own IspContext, serial port and matcher, so several sessions
// run side by side (gang programming, a station's fixtures) without sharing any link state.
// The matcher runs on the serial monitor thread: no window stands between a reply and the
// worker that waits for it.
class PortSession {
public:
    using Work = std::function<OperationResult(IspContext&, OperationView&)>;

    // `boxes`, `view` and `notice` (what the serial layer says) belong to the front end;
    // `serials`: where each board's number comes from, else null.
    PortSession(const PortSetup& setup, MessageBoxes& boxes, OperationView& view,
                std::function<void(const std::string&)> notice, const SettingsStore& store,
                BoardSerials* serials = nullptr);

    const std::string& label() const { return label_; }
    // Cancels the running operation, or the one about to start.
    void interrupt();
    // Whether a wrong reply to the connect frame shows its box (a station fails the board instead).
    void showWrongConnectBox(bool shown) { matcher_.setWrongConnectBox(shown); }

    bool open(); // false when the port cannot be opened (its box has said why)
    OperationResult runOnce(const Work& work);
    void close();
    // The next number reserved for the board on this port, on disk before it is written;
    // nothing without serials. A problem means the board must not be run.
    PoolProblem reserveSerial(std::optional<PlacedSerial>& placed);
    // The number's outcome from the board's result; `record`: where its record is, if anywhere.
    PoolProblem settleSerial(const PortOutcome& outcome, const std::string& record);
    ExitCode exitCodeFor(const OperationResult& result) const;
    std::map<std::string, double> takePhaseSeconds() { return view_.takePhaseSeconds(); }
    std::string lastBoxText() const { return boxes_.lastText(); }
    // A garbled reply leaves the matcher counting from the middle of a frame; a station starts
    // it afresh before it speaks to a board again.
    void restartReplyMatcher() { matcher_.resetCount(); }
    IspContext& context() { return ctx_; }

private:
    KeptBoxes boxes_;
    PhaseRecorder view_;
    std::function<void(const std::string&)> notice_;
    IspContext ctx_;
    ResponseMatcher matcher_;
    std::string label_;
    BoardSerials* serials_;
    std::atomic<bool> interrupted_{false};
};

// What a station's board gets: Program or Auto of the image, its serial number patched in.
PortSession::Work stationWork(StationOperation operation, const std::string& imagePath, const ImagePatch& patch);
// The word of a run's result: the outcome's, or port-error and serial-error.
const char* resultName(const PortOutcome& outcome);

} // namespace pw
