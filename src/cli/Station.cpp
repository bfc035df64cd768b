#include "cli/Station.h"

#include "cli/JsonWriter.h"
#include "cli/RunReport.h"
#include "protocol/BoardPresence.h"

namespace pw::cli {

namespace {

constexpr Millis kReopenInterval{1000};
constexpr std::chrono::seconds kHookLimit{10};

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
    if (!session_.open()) {
        totals.exitCode = ExitPortError;
        return totals;
    }
    for (unsigned board = 1;; ++board) {
        if (!enter(State::Between) || !beforeBoard(board, totals))
            break;
        const std::optional<Clock::time_point> answered = awaitBoard(board, totals);
        std::optional<PlacedSerial> serial;
        if (!answered || !enter(State::OnBoard) || !reserveSerial(serial, totals))
            break;
        BoardReport report = runBoard(board, *answered, serial, totals);
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

std::function<void()> Station::reminder(const std::string& text, const QJsonObject& fields)
{
    return [this, text, fields] { console_.waiting(slot_, "still " + text, fields); };
}

// A hook that fails or overruns is a FAIL of its own, recorded with its status and output.
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

bool Station::beforeBoard(unsigned board, StationTotals& totals)
{
    if (options_.beforeBoard.empty())
        return true;
    BoardReport report;
    report.board = board;
    report.outcome = {
        label_, commandName(options_.stationCommand), {Outcome::Success, "", 0, 0}, ExitSuccess, std::nullopt};
    if (runHook(options_.beforeBoard, "before-board", report, "", ""))
        return true;
    std::string recordLine;
    return recordAndCount(report, totals, recordLine, nullptr);
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

std::optional<Station::Clock::time_point> Station::awaitBoard(unsigned board, StationTotals& totals)
{
    if (!pulseReset(totals))
        return std::nullopt;
    session_.restartReplyMatcher();
    const std::string text = "waiting for board " + std::to_string(board) + " on " + label_;
    const QJsonObject fields{{"for", "board"}, {"board", static_cast<qint64>(board)}};
    console_.waiting(slot_, text, fields);
    const std::function<void()> remind = reminder(text, fields);
    for (;;) {
        switch (waitForBoard(session_.context(), remind)) {
        case WaitResult::Answered: return Clock::now();
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

// Counts the board, prints its line and event and writes its record; false when the record
// could not be written: then every station stops, and this one exits with 5.
bool Station::recordAndCount(const BoardReport& report, StationTotals& totals, std::string& recordLine,
                             std::uint64_t* lineNumber)
{
    const bool passed = !errorClassOf(report);
    (passed ? totals.passed : totals.failed) += 1;
    if (!passed)
        totals.exitCode = std::max<int>(totals.exitCode, ExitMismatch);
    console_.resultLine(slot_, boardLine(report), "board", boardFields(report));
    if (!shared_.records.isOpen())
        return true;
    recordLine = jsonLine(boardRecord(report, shared_.identity, adapterSerial_));
    const std::string failure = shared_.records.append(recordLine, lineNumber);
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

bool Station::finishBoard(BoardReport& report, StationTotals& totals)
{
    std::string recordLine;
    std::uint64_t lineNumber = 0;
    const bool recorded = recordAndCount(report, totals, recordLine, &lineNumber);
    if (!settleSerial(report, lineNumber, totals) || !recorded)
        return false;
    if (report.outcome.result.outcome == Outcome::ImageError) {
        totals.exitCode = std::max<int>(totals.exitCode, ExitBadInput); // every further board would fail alike
        return false;
    }
    if (options_.afterBoard.empty() ||
        runHook(options_.afterBoard, "after-board", report, resultName(report.outcome), recordLine))
        return true;
    return recordAndCount(report, totals, recordLine, nullptr);
}

// After a failure the board may still be in ISP mode and answer: it is named once and the
// station waits until it is taken away, so that it is never run again as the next board.
bool Station::letBoardGo(const BoardReport& report)
{
    const Outcome outcome = report.outcome.result.outcome;
    if (leftIsp(outcome))
        return true;
    IspContext& ctx = session_.context();
    if (outcome == Outcome::LineLost && !reopen())
        return false;
    session_.restartReplyMatcher();
    const WaitResult stays = pollForBoard(ctx);
    if (stays == WaitResult::LineLost)
        return reopen();
    if (stays != WaitResult::Answered)
        return stays == WaitResult::TimedOut;
    const std::string text = "remove board " + std::to_string(report.board) + " from " + label_;
    const QJsonObject fields{{"for", "removal"}, {"board", static_cast<qint64>(report.board)}};
    console_.waiting(slot_, text, fields);
    const WaitResult gone = waitUntilBoardGone(
        ctx, reminder("waiting for board " + std::to_string(report.board) + " to be removed from " + label_, fields));
    if (gone == WaitResult::LineLost)
        return reopen();
    return gone == WaitResult::TimedOut;
}

// The adapter was unplugged or the line hung up: the port is opened again, once a second,
// until it opens or the station is stopped.
bool Station::reopen()
{
    IspContext& ctx = session_.context();
    for (;;) {
        session_.close();
        if (session_.open())
            return true;
        if (ctx.cancelEvent.waitFor(kReopenInterval))
            return false;
    }
}

} // namespace pw::cli
