#include "cli/PortSession.h"

#include "cli/JsonWriter.h"
#include "cli/RunReport.h"
#include "ops/EraseSteps.h"
#include "ops/OperationRunner.h"
#include "protocol/LinkControl.h"

namespace pw::cli {

const char* commandName(Command command)
{
    switch (command) {
    case Command::Program: return "program";
    case Command::Verify: return "verify";
    case Command::Auto: return "auto";
    case Command::Erase: return "erase";
    case Command::Dump: return "dump";
    case Command::Info: return "info";
    case Command::Ports: return "ports";
    case Command::Station: return "station";
    case Command::Serials: return "serials";
    case Command::Help: return "help";
    case Command::Version: return "version";
    }
    return "";
}

ConsoleMode consoleMode(const CliOptions& options)
{
    if (options.events)
        return ConsoleMode::Events;
    return options.quiet || options.json ? ConsoleMode::Quiet : ConsoleMode::Human;
}

PortSession::PortSession(const CliOptions& options, const std::string& portArgument, std::size_t slot, Console& console,
                         const SettingsStore& store, BoardSerials* serials)
    : options_(options), slot_(slot), console_(console), boxes_(console, slot), view_(console, slot), ctx_(boxes_),
      matcher_(ctx_, MatcherVariant::Panel), serials_(serials)
{
    loadSettings(ctx_, store);
    ctx_.exeDir = programFolder();
    if (options.baud)
        ctx_.baudRate = *options.baud;
    if (options.startAddr)
        ctx_.ispStartAddr = *options.startAddr;
    ctx_.skipBlankBlocks = options.skipBlank;
    if (const auto com = comPortNumber(portArgument)) { // "COM3"; anything else is a device path
        ctx_.comPort = static_cast<std::uint8_t>(*com);
        label_ = portArgument;
    } else if (!portArgument.empty()) {
        ctx_.comPort = 1;
        ctx_.portMap.assignForThisRun(1, portArgument);
        label_ = portArgument;
    } else {
        label_ = "COM" + std::to_string(ctx_.comPort.load());
    }
    // The port is closed right after the run and nothing follows on it, so the pause that
    // keeps a window from starting its next operation at once is left out; every pause
    // that faces the target stays as the window keeps it.
    ctx_.timings.afterOperationPause = Millis(0);
}

PortOutcome PortSession::run(const std::string& imagePath, std::uint64_t imageBytes)
{
    PortOutcome outcome{label_, commandName(options_.command), {}, ExitSuccess, std::nullopt};
    console_.setLabel(slot_, label_, imageBytes);
    announceStart(imagePath, imageBytes);
    if (!open()) {
        outcome.result = {Outcome::Refused, boxes_.lastText(), 0, 0};
        outcome.exitCode = ExitPortError;
    } else {
        runWithSerial(outcome, imagePath);
        if (outcome.exitCode == ExitSuccess)
            console_.complete(slot_);
    }
    console_.event(slot_, "result", resultObject(outcome));
    return outcome;
}

void PortSession::runWithSerial(PortOutcome& outcome, const std::string& imagePath)
{
    if (const PoolProblem problem = reserveSerial(outcome.serial)) {
        close();
        outcome.result = {Outcome::Refused, problem.text, 0, 0};
        outcome.exitCode = problem.exitCode;
        return;
    }
    outcome.result = runOnce(options_.command, imagePath, outcome.serial ? outcome.serial->patch : ImagePatch{});
    close();
    outcome.exitCode = exitCodeFor(outcome.result);
    if (const PoolProblem problem = settleSerial(outcome, ""))
        outcome.exitCode = problem.exitCode;
}

void PortSession::announceStart(const std::string& imagePath, std::uint64_t imageBytes)
{
    console_.event(slot_, "start",
                   {{"operation", jsonText(commandName(options_.command))},
                    {"image", jsonText(imagePath)},
                    {"bytes", static_cast<qint64>(imageBytes)},
                    {"time", jsonText(utcTimeText())}});
}

PoolProblem PortSession::reserveSerial(std::optional<PlacedSerial>& placed)
{
    placed.reset();
    if (!serials_)
        return {};
    PlacedSerial reserved;
    PoolProblem problem = serials_->reserve(label_, reserved);
    if (problem)
        console_.message(slot_, problem.text);
    else
        placed = std::move(reserved);
    return problem;
}

PoolProblem PortSession::settleSerial(const PortOutcome& outcome, const std::string& record)
{
    if (!serials_ || !outcome.serial)
        return {};
    PoolProblem problem = serials_->settle(*outcome.serial, resultName(outcome), record);
    if (problem)
        console_.message(slot_, problem.text);
    return problem;
}

bool PortSession::open()
{
    ctx_.portOwner = &matcher_;
    ctx_.port.setNotice([this](const std::string& text) { console_.message(slot_, text); });
    OpenLink(ctx_, matcher_, matcher_);
    if (!ctx_.port.isOpen())
        ctx_.portOpen = 0;
    return ctx_.port.isOpen();
}

void PortSession::close()
{
    ctx_.port.Close();
    ctx_.portOpen = 0;
}

OperationResult PortSession::runOnce(Command command, const std::string& imagePath, const ImagePatch& patch)
{
    OperationResult result;
    OperationRunner runner(ctx_);
    runner.start([&] {
        if (interrupted_) // Ctrl-C before the run began: it ends at its first look at Cancel
            ctx_.cancelEvent.set();
        result = runCommand(command, imagePath, patch);
    });
    runner.join();
    if (result.message.empty() && result.outcome != Outcome::Success)
        result.message = boxes_.lastText();
    return result;
}

OperationResult PortSession::runCommand(Command command, const std::string& imagePath, const ImagePatch& patch)
{
    switch (command) {
    case Command::Program: return ProgramThread(ctx_, view_, imagePath, patch);
    case Command::Verify: return VerifyThread(ctx_, view_, imagePath);
    case Command::Auto: return AutoThread(ctx_, view_, imagePath, patch);
    case Command::Erase: {
        if (options_.fromPage)
            return PageEraseThread(ctx_, view_, *options_.fromPage, *options_.pageCount);
        if (ctx_.ispStartAddr == 0)
            return EraseAllThread(ctx_, view_);
        const PageRange pages = pagesFromStart(ctx_.ispStartAddr, ctx_.flashSize);
        return PageEraseThread(ctx_, view_, pages.first, pages.count);
    }
    case Command::Dump: {
        DumpRequest request{*options_.fromPage, *options_.pageCount, options_.dumpAsText, "."};
        return DumpWorker(ctx_, view_, request);
    }
    case Command::Info:
    case Command::Ports:
    case Command::Station:
    case Command::Serials:
    case Command::Help:
    case Command::Version: break;
    }
    ctx_.busy = 0;
    return {Outcome::Refused, "nothing to run", 0, 0};
}

int PortSession::exitCodeFor(const OperationResult& result) const
{
    switch (result.outcome) {
    case Outcome::Success: return ExitSuccess;
    case Outcome::Mismatch: return ExitMismatch;
    case Outcome::TimedOut:
    case Outcome::LineLost:
    case Outcome::WrongReply: return ExitNoReply;
    case Outcome::Cancelled: return interrupted_ ? ExitInterrupted : ExitNoReply;
    case Outcome::ImageError:
    case Outcome::Refused: return ExitBadInput;
    }
    return ExitNoReply;
}

void PortSession::interrupt()
{
    interrupted_ = true;
    ctx_.cancelEvent.set();
}

} // namespace pw::cli
