#include "cli/PortRun.h"

#include "line/BoardRecord.h"
#include "line/JsonWriter.h"
#include "line/RunPreparation.h"
#include "ops/EraseSteps.h"

namespace pw::cli {

namespace {

PortSession::Work workFor(const CliOptions& options, const std::string& imagePath, const ImagePatch& patch)
{
    return [&options, imagePath, patch](IspContext& ctx, OperationView& view) -> OperationResult {
        switch (options.command) {
        case Command::Program: return ProgramThread(ctx, view, imagePath, patch);
        case Command::Verify: return VerifyThread(ctx, view, imagePath);
        case Command::Auto: return AutoThread(ctx, view, imagePath, patch);
        case Command::Erase: {
            if (options.fromPage)
                return PageEraseThread(ctx, view, *options.fromPage, *options.pageCount);
            if (ctx.ispStartAddr == 0)
                return EraseAllThread(ctx, view);
            const PageRange pages = pagesFromStart(ctx.ispStartAddr, ctx.flashSize);
            return PageEraseThread(ctx, view, pages.first, pages.count);
        }
        case Command::Dump: {
            DumpRequest request{*options.fromPage, *options.pageCount, options.dumpAsText, "."};
            return DumpWorker(ctx, view, request);
        }
        case Command::Info:
        case Command::Ports:
        case Command::Station:
        case Command::Serials:
        case Command::Db:
        case Command::Help:
        case Command::Version: break;
        }
        ctx.busy = 0;
        return {Outcome::Refused, "nothing to run", 0, 0};
    };
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
    case Command::Ports: return "ports";
    case Command::Station: return "station";
    case Command::Serials: return "serials";
    case Command::Db: return "db";
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

void announceStart(Console& console, std::size_t slot, const char* operation, const std::string& imagePath,
                   std::uint64_t imageBytes)
{
    console.event(slot, "start",
                  {{"operation", jsonText(operation)},
                   {"image", jsonText(imagePath)},
                   {"bytes", static_cast<qint64>(imageBytes)},
                   {"time", jsonText(utcTimeText())}});
}

PortRun::PortRun(const CliOptions& options, const std::string& port, std::size_t slot, Console& console,
                 const SettingsStore& store, BoardSerials* serials)
    : options_(options), slot_(slot), console_(console), boxes_(console, slot), view_(console, slot),
      session_(
          {port, options.setup.baud, options.setup.startAddr, options.setup.skipBlank}, boxes_, view_,
          [&console, slot](const std::string& text) { console.message(slot, text); }, store, serials)
{
}

PortOutcome PortRun::run(const std::string& imagePath, std::uint64_t imageBytes)
{
    PortOutcome outcome{session_.label(), commandName(options_.command), {}, ExitSuccess, std::nullopt};
    console_.setLabel(slot_, session_.label(), imageBytes);
    announceStart(console_, slot_, commandName(options_.command), imagePath, imageBytes);
    if (!session_.open()) {
        outcome.result = {Outcome::Refused, session_.lastBoxText(), 0, 0};
        outcome.exitCode = ExitPortError;
    } else {
        runWithSerial(outcome, imagePath);
        if (outcome.exitCode == ExitSuccess)
            console_.complete(slot_);
    }
    console_.event(slot_, "result", resultObject(outcome));
    return outcome;
}

void PortRun::runWithSerial(PortOutcome& outcome, const std::string& imagePath)
{
    if (const PoolProblem problem = session_.reserveSerial(outcome.serial)) {
        console_.message(slot_, problem.text);
        session_.close();
        outcome.result = {Outcome::Refused, problem.text, 0, 0};
        outcome.exitCode = poolRefusal(problem).exitCode;
        return;
    }
    outcome.result =
        session_.runOnce(workFor(options_, imagePath, outcome.serial ? outcome.serial->patch : ImagePatch{}));
    session_.close();
    outcome.exitCode = session_.exitCodeFor(outcome.result);
    if (const PoolProblem problem = session_.settleSerial(outcome, "")) {
        console_.message(slot_, problem.text);
        outcome.exitCode = poolRefusal(problem).exitCode;
    }
}

} // namespace pw::cli
