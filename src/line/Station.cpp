#include "line/Station.h"

#include "line/JsonWriter.h"
#include "protocol/BoardPresence.h"

namespace pw {

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

} // namespace

Station::Station(PortSession& session, std::size_t slot, StationObserver& observer, StationShared& shared,
                 const StationSetup& setup, std::string adapterSerial)
    : session_(session), label_(session.label()), slot_(slot), observer_(observer), shared_(shared), setup_(setup),
      adapterSerial_(std::move(adapterSerial))
{
}

StationTotals Station::run()
{
    StationTotals totals;
    const Clock::time_point began = Clock::now();
    observer_.started(slot_);
    session_.showWrongConnectBox(false); // a board that answers wrongly is a FAIL of its own
    if (!session_.open()) {              // the other ports go on: this one's box has said why
        totals.stop = StationStop{StopReason::PortGone, 1, {}, session_.lastBoxText()};
        observer_.stopped(slot_, *totals.stop);
        observer_.finished(slot_, totals);
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
                if (!enter(State::OnBoard) || !recordsReachable(totals) || !reserveSerial(serial, totals))
                    break;
                observer_.boardStarted(slot_, board);
                report = runBoard(board, arrival->time, serial, totals);
            }
        }
        if (!finishBoard(report, totals) || !enter(State::Between) || !letBoardGo(report))
            break;
    }
    session_.context().connectAnswered = false;
    session_.close();
    totals.hours = secondsSince(began) / 3600.0;
    observer_.finished(slot_, totals);
    return totals;
}

void Station::stop()
{
    {
        std::lock_guard lock(mutex_);
        if (stopRequested_ && state_ == State::OnBoard)
            session_.interrupt();
    }
    endAfterBoard();
}

void Station::endAfterBoard()
{
    std::lock_guard lock(mutex_);
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

void Station::sayWaiting(StationWait wait)
{
    waiting_ = wait;
    waitingSaid_ = Clock::now();
    observer_.waiting(slot_, wait);
}

void Station::tick()
{
    if (Clock::now() - waitingSaid_ < kRemindEvery)
        return;
    waitingSaid_ = Clock::now();
    StationWait again = waiting_;
    again.again = true;
    observer_.waiting(slot_, again);
}

// Every station stops: nothing more may be programmed until a person has seen to it.
void Station::stopFor(StationStop stop, StationTotals& totals)
{
    observer_.stopped(slot_, stop);
    totals.stop = std::move(stop);
    if (shared_.stopAll)
        shared_.stopAll();
}

// A hook that fails or overruns makes the board's verdict FAIL, recorded with its status and
// output.
bool Station::runHook(const std::string& command, const char* name, BoardReport& report, const std::string& result,
                      const QJsonObject& record)
{
    report.hookResult =
        runBoardHook(command,
                     {{"PAGEWISE_PORT", label_},
                      {"PAGEWISE_BOARD", std::to_string(report.board)},
                      {"PAGEWISE_SERIAL", report.outcome.serial ? std::to_string(report.outcome.serial->number) : ""},
                      {"PAGEWISE_RESULT", result},
                      {"PAGEWISE_RECORD", record.isEmpty() ? std::string() : jsonLine(record)}},
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
    if (!setup_.beforeBoard.empty())
        runHook(setup_.beforeBoard, "before-board", report, "", {});
}

PortOutcome Station::unrunOutcome(const OperationResult& result) const
{
    return {label_, operationName(setup_.operation), result, session_.exitCodeFor(result), std::nullopt};
}

bool Station::pulseReset(unsigned board, StationTotals& totals)
{
    if (!setup_.resetPulse)
        return true;
    const ResetPulse& pulse = *setup_.resetPulse;
    const std::string refused =
        session_.context().port.pulseModemLine(pulse.line, pulse.width, session_.context().cancelEvent);
    if (refused.empty())
        return true;
    totals.stop = StationStop{StopReason::ResetLineFailed, board, {}, refused, pulse.line};
    observer_.stopped(slot_, *totals.stop);
    return false;
}

std::optional<Station::Arrival> Station::awaitBoard(unsigned board, StationTotals& totals)
{
    if (!pulseReset(board, totals))
        return std::nullopt;
    session_.restartReplyMatcher();
    sayWaiting({StationWait::For::Board, board, false});
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

// The board has answered; it is not touched when its record could not be kept.
bool Station::recordsReachable(StationTotals& totals)
{
    if (!shared_.records)
        return true;
    const std::string failure = shared_.records->reachable();
    if (failure.empty())
        return true;
    stopFor({StopReason::RecordNotKept, waiting_.board, shared_.records->name(), failure}, totals);
    return false;
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
    stopFor({StopReason::SerialPool, waiting_.board, {}, problem.text}, totals);
    return true;
}

BoardReport Station::runBoard(unsigned board, Clock::time_point answered, const std::optional<PlacedSerial>& serial,
                              StationTotals& totals)
{
    BoardReport report;
    report.board = board;
    OperationResult result;
    for (;; ++report.attempt) {
        result = session_.runOnce(
            stationWork(setup_.operation, shared_.identity.image->binaryPath, serial ? serial->patch : ImagePatch{}));
        report.phases = session_.takePhaseSeconds();
        if (!traitsOf(result.outcome).retryable || report.attempt > setup_.retries || stopping())
            break;
        observer_.retrying(slot_, board, report.attempt, result.outcome);
        if ((result.outcome == Outcome::LineLost && !reopen()) || !pulseReset(board, totals))
            break;
        session_.context().connectAnswered = false; // the next attempt begins at its own connect
        session_.restartReplyMatcher();
    }
    report.outcome = {label_, operationName(setup_.operation), result, session_.exitCodeFor(result), serial};
    report.outcome.result.seconds = secondsSince(answered);
    return report;
}

QJsonObject Station::recordOf(const BoardReport& report) const
{
    return shared_.records ? boardRecord(report, shared_.identity, adapterSerial_) : QJsonObject();
}

// Counts the board, tells its verdict and keeps its record; false when the record could not
// be kept: then every station stops.
bool Station::recordAndCount(const BoardReport& report, const QJsonObject& record, StationTotals& totals,
                             std::string& where)
{
    (errorClassOf(report) ? totals.failed : totals.passed) += 1;
    observer_.boardEnded(slot_, report, record);
    if (record.isEmpty())
        return true;
    const std::string failure = shared_.records->keep(record, where);
    if (failure.empty())
        return true;
    stopFor({StopReason::RecordNotKept, report.board, shared_.records->name(), failure}, totals);
    return false;
}

// The board's number becomes used or void, with where its record is; false (every station
// stops) when the pool cannot be written.
bool Station::settleSerial(const BoardReport& report, const std::string& where, StationTotals& totals)
{
    return !stopForPool(session_.settleSerial(report.outcome, where), totals);
}

// The after-board hook sees the record the board is to get; if it fails, the board's one
// verdict is FAIL and its record says so instead.
bool Station::finishBoard(BoardReport& report, StationTotals& totals)
{
    const bool imageError = report.outcome.result.outcome == Outcome::ImageError;
    QJsonObject record = recordOf(report);
    if (!report.hook && !imageError && !setup_.afterBoard.empty() &&
        !runHook(setup_.afterBoard, "after-board", report, resultName(report.outcome), record))
        record = recordOf(report);
    std::string where;
    const bool recorded = recordAndCount(report, record, totals, where);
    if (!settleSerial(report, where, totals) || !recorded)
        return false;
    if (imageError) { // every further board would fail alike
        totals.stop = StationStop{StopReason::ImageUnusable, report.board, {}, report.outcome.result.message};
        observer_.stopped(slot_, *totals.stop);
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
    sayWaiting({StationWait::For::Removal, report.board, false});
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
    const StationWait previous = waiting_;
    sayWaiting({StationWait::For::Port, previous.board, false});
    for (;;) {
        session_.close();
        if (session_.open()) {
            waiting_ = previous; // the wait it broke goes on, reminded on the same clock
            return true;
        }
        if (ctx.cancelEvent.waitFor(kReopenInterval))
            return false;
        tick();
    }
}

} // namespace pw
