#include "cli/Station.h"

#include "cli/JsonWriter.h"
#include "cli/RunReport.h"
#include "protocol/BoardPresence.h"

namespace pw::cli {

namespace {

constexpr Millis kReopenInterval{1000};
constexpr std::chrono::seconds kHookLimit{10};
constexpr std::chrono::seconds kRemindEvery{8};
constexpr const char* kWrongConnectReason = "wrong reply to connect: reset the MCU";

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A run that ended with CmdLeaveIsp on the wire: the board runs its own program now and
// cannot answer a connect frame until it is replaced.
bool leftIsp(Outcome outcome)
{
    return outcome == Outcome::Success || outcome == Outcome::Mismatch || outcome == Outcome::Cancelled;
}

bool retryable(Outcome outcome)
{
    return outcome == Outcome::TimedOut || outcome == Outcome::LineLost;
}

} // namespace

Station::Station(PortSession& session, std::size_t slot, Console& console, StationShared& shared,
                 const CliOptions& options, std::string adapterSerial)
    : session_(session), label_(session.label()), slot_(slot), console_(console), shared_(shared), options_(options),
      adapterSerial_(std::move(adapterSerial))
{
}

StationTotals Station::run()
{
    StationTotals totals;
    const Clock::time_point began = Clock::now();
    session_.announceStart(shared_.identity.image->binaryPath, shared_.identity.image->bytes);
    session_.showWrongConnectBox(false); // a board that answers wrongly is a FAIL of its own
    if (!session_.open()) {
        totals.exitCode = ExitPortError;
        return totals;
    }
    for (unsigned board = 1;; ++board) {
        BoardReport report;
        report.board = board;
        if (!enter(State::Between))
            break;
        beforeBoard(report);
        if (!report.hook) {
            const std::optional<Arrival> arrival = awaitBoard(board, totals);
            if (!arrival)
                break;
            if (arrival->wrongReply) {
                report.outcome = unrunOutcome({Outcome::WrongReply, kWrongConnectReason, 0, 0});
            } else {
                std::optional<PlacedSerial> serial;
                if (!enter(State::OnBoard) || !reserveSerial(serial, totals))
                    break;
                report = runBoard(board, arrival->time, serial, totals);
            }
        }
        if (!finishBoard(report, totals) || !enter(State::Between) || !letBoardGo(report))
            break;
    }
    session_.context().connectAnswered = false;
    session_.close();
    totals.hours = secondsSince(began) / 3600.0;
    return totals;
}

void Station::stop()
{
    std::lock_guard lock(mutex_);
    if (stopRequested_ && state_ == State::OnBoard)
        session_.interrupt();
    stopRequested_ = true;
    if (state_ == State::Between)
        session_.context().cancelEvent.set();
}

bool Station::enter(State state)
{
    std::lock_guard lock(mutex_);
    state_ = state;
    if (state == State::Between && !stopRequested_)
        session_.context().cancelEvent.reset();
    return !stopRequested_;
}

bool Station::stopping()
{
    std::lock_guard lock(mutex_);
    return stopRequested_;
}

void Station::sayWaiting(const std::string& said, const std::string& reminded, const QJsonObject& fields)
{
    waitingText_ = reminded;
    waitingFields_ = fields;
    waitingSaid_ = Clock::now();
    console_.waiting(slot_, said, fields);
}

void Station::tick()
{
    if (Clock::now() - waitingSaid_ < kRemindEvery)
        return;
    waitingSaid_ = Clock::now();
    console_.waiting(slot_, "still " + waitingText_, waitingFields_);
}

// A hook that fails or overruns makes the board's verdict FAIL, recorded with its status and
// output.
bool Station::runHook(const std::string& command, const char* name, BoardReport& report, const std::string& result,
                      const std::string& record)
{
    report.hookResult =
        runBoardHook(command,
                     {{"PAGEWISE_PORT", label_},
                      {"PAGEWISE_BOARD", std::to_string(report.board)},
                      {"PAGEWISE_SERIAL", report.outcome.serial ? std::to_string(report.outcome.serial->number) : ""},
                      {"PAGEWISE_RESULT", result},
                      {"PAGEWISE_RECORD", record}},
                     kHookLimit);
    if (report.hookResult.passed)
        return true;
    report.hook = name;
    return false;
}

// A hook that failed leaves report.hook set, and that board is not run: the fixture it was to
// prepare may be wrong. Its FAIL is recorded even when a stop came meanwhile.
void Station::beforeBoard(BoardReport& report)
{
    report.outcome = unrunOutcome({Outcome::Success, "", 0, 0});
    if (!options_.beforeBoard.empty())
        runHook(options_.beforeBoard, "before-board", report, "", "");
}

PortOutcome Station::unrunOutcome(const OperationResult& result) const
{
    return {label_, commandName(options_.stationCommand), result, session_.exitCodeFor(result), std::nullopt};
}

bool Station::pulseReset(StationTotals& totals)
{
    if (!options_.resetPulse)
        return true;
    const ResetPulse& pulse = *options_.resetPulse;
    const std::string refused =
        session_.context().port.pulseModemLine(pulse.line, pulse.width, session_.context().cancelEvent);
    if (refused.empty())
        return true;
    console_.message(slot_,
                     std::string("cannot pulse ") + modemLineName(pulse.line) + " on " + label_ + ": " + refused);
    totals.exitCode = std::max<int>(totals.exitCode, ExitPortError);
    return false;
}

std::optional<Station::Arrival> Station::awaitBoard(unsigned board, StationTotals& totals)
{
    if (!pulseReset(totals))
        return std::nullopt;
    session_.restartReplyMatcher();
    const std::string text = "waiting for board " + std::to_string(board) + " on " + label_;
    sayWaiting(text, text, {{"for", "board"}, {"board", static_cast<qint64>(board)}});
    const std::function<void()> ticks = [this] { tick(); };
    for (;;) {
        switch (waitForBoard(session_.context(), ticks)) {
        case WaitResult::Answered: return Arrival{Clock::now(), false};
        case WaitResult::WrongReply: return Arrival{Clock::now(), true};
        case WaitResult::LineLost:
            if (!reopen())
                return std::nullopt;
            break;
        case WaitResult::TimedOut:
        case WaitResult::Cancelled: return std::nullopt;
        }
    }
}

// The board has answered: its number is on disk before its first write. A pool that cannot
// give one stops every station.
bool Station::reserveSerial(std::optional<PlacedSerial>& serial, StationTotals& totals)
{
    return !stopForPool(session_.reserveSerial(serial), totals);
}

// A serial pool that cannot be used stops every station: no board may go without its number.
bool Station::stopForPool(const PoolProblem& problem, StationTotals& totals)
{
    if (!problem)
        return false;
    totals.exitCode = std::max(totals.exitCode, problem.exitCode);
    totals.serialStop = true;
    shared_.stopAll();
    return true;
}

BoardReport Station::runBoard(unsigned board, Clock::time_point answered, const std::optional<PlacedSerial>& serial,
                              StationTotals& totals)
{
    BoardReport report;
    report.board = board;
    OperationResult result;
    for (;; ++report.attempt) {
        result = session_.runOnce(options_.stationCommand, shared_.identity.image->binaryPath,
                                  serial ? serial->patch : ImagePatch{});
        report.phases = session_.takePhaseSeconds();
        if (!retryable(result.outcome) || report.attempt > options_.retries || stopping())
            break;
        console_.message(slot_, "board " + std::to_string(board) + " on " + label_ + ": attempt " +
                                    std::to_string(report.attempt) + " ended in " + outcomeName(result.outcome) +
                                    ", running it again");
        if ((result.outcome == Outcome::LineLost && !reopen()) || !pulseReset(totals))
            break;
        session_.context().connectAnswered = false; // the next attempt begins at its own connect
        session_.restartReplyMatcher();
    }
    report.outcome = {label_, commandName(options_.stationCommand), result, session_.exitCodeFor(result), serial};
    report.outcome.result.seconds = secondsSince(answered);
    return report;
}

std::string Station::recordText(const BoardReport& report) const
{
    return shared_.records.isOpen() ? jsonLine(boardRecord(report, shared_.identity, adapterSerial_)) : std::string();
}

// Counts the board, prints its line and event and writes its record; false when the record
// could not be written: then every station stops, and this one exits with 5.
bool Station::recordAndCount(const BoardReport& report, const std::string& recordLine, StationTotals& totals,
                             std::uint64_t& lineNumber)
{
    const bool passed = !errorClassOf(report);
    (passed ? totals.passed : totals.failed) += 1;
    if (!passed)
        totals.exitCode = std::max<int>(totals.exitCode, ExitMismatch);
    console_.resultLine(slot_, boardLine(report), "board", boardFields(report));
    if (recordLine.empty())
        return true;
    const std::string failure = shared_.records.append(recordLine, &lineNumber);
    if (failure.empty())
        return true;
    console_.message(slot_, "the record of board " + std::to_string(report.board) + " on " + label_ +
                                " could not be written to " + shared_.records.path() + ": " + failure +
                                "; every station stops");
    totals.exitCode = ExitNotKept;
    shared_.stopAll();
    return false;
}

// The board's number becomes used or void, with where its record is; false (every station
// stops, exit 5) when the pool cannot be written.
bool Station::settleSerial(const BoardReport& report, std::uint64_t recordLine, StationTotals& totals)
{
    const std::string record = recordLine ? shared_.records.path() + ":" + std::to_string(recordLine) : std::string();
    return !stopForPool(session_.settleSerial(report.outcome, record), totals);
}

// The after-board hook sees the record the board is to get; if it fails, the board's one
// verdict is FAIL and its record says so instead.
bool Station::finishBoard(BoardReport& report, StationTotals& totals)
{
    const bool imageError = report.outcome.result.outcome == Outcome::ImageError;
    std::string recordLine = recordText(report);
    if (!report.hook && !imageError && !options_.afterBoard.empty() &&
        !runHook(options_.afterBoard, "after-board", report, resultName(report.outcome), recordLine))
        recordLine = recordText(report);
    std::uint64_t lineNumber = 0;
    const bool recorded = recordAndCount(report, recordLine, totals, lineNumber);
    if (!settleSerial(report, lineNumber, totals) || !recorded)
        return false;
    if (imageError) {
        totals.exitCode = std::max<int>(totals.exitCode, ExitBadInput); // every further board would fail alike
        return false;
    }
    return true;
}

// After a failure the board may still be in ISP mode and answer: it is named once and the
// station waits until it is taken away, so that it is never run again as the next board. A
// board that was never run (its before-board hook failed) may be there too.
bool Station::letBoardGo(const BoardReport& report)
{
    const Outcome outcome = report.outcome.result.outcome;
    const bool unrun = report.hook && *report.hook == "before-board";
    if (leftIsp(outcome) && !unrun)
        return true;
    IspContext& ctx = session_.context();
    if (outcome == Outcome::LineLost && !reopen())
        return false;
    session_.restartReplyMatcher();
    const WaitResult stays = pollForBoard(ctx);
    if (stays == WaitResult::LineLost)
        return reopen();
    if (stays != WaitResult::Answered && stays != WaitResult::WrongReply)
        return stays == WaitResult::TimedOut;
    const std::string board = std::to_string(report.board);
    sayWaiting("remove board " + board + " from " + label_,
               "waiting for board " + board + " to be removed from " + label_,
               {{"for", "removal"}, {"board", static_cast<qint64>(report.board)}});
    const WaitResult gone = waitUntilBoardGone(ctx, [this] { tick(); });
    if (gone == WaitResult::LineLost)
        return reopen();
    return gone == WaitResult::TimedOut;
}

// The adapter was unplugged or the line hung up: the port is opened again, once a second,
// until it opens or the station is stopped, saying every 8 s that it waits for it.
bool Station::reopen()
{
    IspContext& ctx = session_.context();
    const std::string previousText = waitingText_;
    const QJsonObject previousFields = waitingFields_;
    const std::string text = "waiting for " + label_ + " to come back";
    sayWaiting(text, text, {{"for", "port"}});
    for (;;) {
        session_.close();
        if (session_.open()) {
            waitingText_ = previousText; // the wait it broke goes on, reminded on the same clock
            waitingFields_ = previousFields;
            return true;
        }
        if (ctx.cancelEvent.waitFor(kReopenInterval))
            return false;
        tick();
    }
}

} // namespace pw::cli
