#include "app/cli/PortSession.h"

#include "protocol/LinkControl.h"

#include <cstring>

namespace pw::cli {

namespace {

// "COM3" gives 3; anything else is a device path.
std::uint32_t comNumber(const std::string& text)
{
    if (text.size() < 4 || text.compare(0, 3, "COM") != 0)
        return 0;
    const auto number = parseNumber(text.substr(3));
    return number && *number >= 1 && *number <= 24 ? *number : 0;
}

} // namespace

const char* commandName(Command command)
{
    switch (command) {
    case Command::Program: return "program";
    case Command::Verify: return "verify";
    case Command::Auto: return "auto";
    case Command::Erase: return "erase";
    case Command::Dump: return "dump";
    case Command::Info: return "info";
    case Command::Help: return "help";
    }
    return "";
}

PortSession::PortSession(const CliOptions& options, const std::string& portArgument, std::size_t slot,
                         Console& console, const SettingsStore& store)
    : options_(options), slot_(slot), console_(console), boxes_(console, slot), view_(console, slot),
      ctx_(boxes_), matcher_(ctx_, MatcherVariant::Panel)
{
    loadSettings(ctx_, store);
    ctx_.exeDir = programFolder();
    if (options.baud)
        ctx_.baudRate = *options.baud;
    if (options.startAddr)
        ctx_.ispStartAddr = *options.startAddr;
    if (const std::uint32_t com = comNumber(portArgument)) {
        ctx_.comPort = static_cast<std::uint8_t>(com);
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
    PortOutcome outcome{label_, commandName(options_.command), {}, ExitSuccess};
    console_.setLabel(slot_, label_, imageBytes);
    ctx_.portOwner = &matcher_;
    OpenLink(ctx_, matcher_, matcher_);
    if (!ctx_.port.isOpen()) {
        ctx_.portOpen = 0;
        outcome.result = {Outcome::Refused, boxes_.lastText(), 0, 0};
        outcome.exitCode = ExitPortError;
        return outcome;
    }

    ctx_.busy = 1;
    ctx_.cancelEvent.reset();
    if (interrupted_)
        ctx_.cancelEvent.set();
    outcome.result = runCommand(imagePath);
    if (outcome.result.message.empty() && outcome.result.outcome != Outcome::Success)
        outcome.result.message = boxes_.lastText();
    ctx_.port.Close();
    ctx_.portOpen = 0;
    outcome.exitCode = exitCodeFor(outcome.result);
    return outcome;
}

OperationResult PortSession::runCommand(const std::string& imagePath)
{
    switch (options_.command) {
    case Command::Program: return ProgramThread(ctx_, view_, imagePath);
    case Command::Verify: return VerifyThread(ctx_, view_, imagePath);
    case Command::Auto: return AutoThread(ctx_, view_, imagePath);
    case Command::Erase:
        if (options_.fromPage)
            return PageEraseThread(ctx_, view_, *options_.fromPage, *options_.pageCount);
        if (ctx_.ispStartAddr == 0)
            return EraseAllThread(ctx_, view_);
        return PageEraseThread(ctx_, view_, ctx_.ispStartAddr >> 9,
                               (ctx_.flashSize >> 9) - (ctx_.ispStartAddr >> 9));
    case Command::Dump: {
        DumpRequest request{*options_.fromPage, *options_.pageCount, options_.dumpAsText, "."};
        return DumpWorker(ctx_, view_, request);
    }
    case Command::Info:
    case Command::Help:
        break;
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
    case Outcome::LineLost: return ExitNoReply;
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
