#pragma once
#include "cli/BoardSerials.h"
#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/ConsoleReporting.h"
#include "context/IspContext.h"
#include "settings/Settings.h"
#include "ops/Operations.h"
#include "protocol/ResponseMatcher.h"

#include <atomic>
#include <map>
#include <string>

namespace pw::cli {

struct PortOutcome {
    std::string port;
    std::string operation;
    OperationResult result;
    int exitCode = ExitSuccess;
    std::optional<PlacedSerial> serial; // the number written into the board (--serial)
};

// One target on one port: its own IspContext, serial port and matcher, so several sessions
// run side by side (gang programming) without sharing any link state.
class PortSession {
public:
    // `serials`: where each board's number comes from (--serial), else null.
    PortSession(const CliOptions& options, const std::string& portArgument, std::size_t slot, Console& console,
                const SettingsStore& store, BoardSerials* serials = nullptr);

    std::string label() const { return label_; }
    // Opens the link, runs the command and closes the port again.
    PortOutcome run(const std::string& imagePath, std::uint64_t imageBytes);
    // Ctrl-C: cancels the running operation, or the one about to start.
    void interrupt();

    // The `start` event that every run begins with.
    void announceStart(const std::string& imagePath, std::uint64_t imageBytes);
    // Whether a wrong reply to the connect frame shows its box (a station fails the board instead).
    void showWrongConnectBox(bool shown) { matcher_.setWrongConnectBox(shown); }

    // The steps of run, for a station that keeps the port open from board to board.
    bool open(); // false when the port cannot be opened (it has said why)
    OperationResult runOnce(Command command, const std::string& imagePath, const ImagePatch& patch = {});
    void close();
    // With --serial: the next number reserved for the board on this port, on disk before it is
    // written; without, nothing. A problem (said on the console) means the board must not be run.
    PoolProblem reserveSerial(std::optional<PlacedSerial>& placed);
    // The number's outcome from the board's result; `record`: where its record is, if anywhere.
    PoolProblem settleSerial(const PortOutcome& outcome, const std::string& record);
    int exitCodeFor(const OperationResult& result) const;
    std::map<std::string, double> takePhaseSeconds() { return view_.takePhaseSeconds(); }
    // A garbled reply leaves the matcher counting from the middle of a frame; a station starts
    // it afresh before it speaks to a board again.
    void restartReplyMatcher() { matcher_.resetCount(); }
    IspContext& context() { return ctx_; }

private:
    OperationResult runCommand(Command command, const std::string& imagePath, const ImagePatch& patch);
    void runWithSerial(PortOutcome& outcome, const std::string& imagePath);

    const CliOptions& options_;
    std::size_t slot_;
    Console& console_;
    ConsoleBoxes boxes_;
    ConsoleView view_;
    IspContext ctx_;
    ResponseMatcher matcher_;
    std::string label_;
    BoardSerials* serials_;
    std::atomic<bool> interrupted_{false};
};

const char* commandName(Command command);
// What the console prints besides messages: events, nothing (--quiet, --json) or all.
ConsoleMode consoleMode(const CliOptions& options);

} // namespace pw::cli
