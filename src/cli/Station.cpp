#include "cli/Station.h"

#include "cli/JsonText.h"
#include "cli/RunReport.h"
#include "protocol/BoardPresence.h"

#include <chrono>
#include <cstdio>

namespace pw::cli {

namespace {

using Clock = std::chrono::steady_clock;
// A board that has left a second of connect frames unanswered has been taken away.
constexpr Millis kGoneAfter{1000};
constexpr Millis kReopenInterval{1000};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

bool BoardRecords::append(const std::string& line)
{
    std::lock_guard lock(mutex_);
    std::FILE* file = std::fopen(path_.c_str(), "a");
    if (!file)
        return false;
    const bool written = std::fprintf(file, "%s\n", line.c_str()) > 0;
    return std::fclose(file) == 0 && written;
}

Station::Station(PortSession& session, std::size_t slot, Console& console, BoardRecords& records,
                 const PreparedImage& image, Command command, std::string adapterSerial)
    : session_(session), label_(session.label()), slot_(slot), console_(console), records_(records), image_(image),
      command_(command), adapterSerial_(std::move(adapterSerial))
{
}

StationTotals Station::run()
{
    StationTotals totals;
    const Clock::time_point began = Clock::now();
    IspContext& ctx = session_.context();
    totals.portOpened = session_.open();
    for (unsigned board = 1; totals.portOpened;) {
        ctx.cancelEvent.reset();
        if (!enter(State::Between))
            break;
        const WaitResult arrived = WaitForBoard(ctx);
        if (arrived == WaitResult::LineLost) {
            if (!reopen())
                break;
            continue;
        }
        if (arrived != WaitResult::Answered || !enter(State::OnBoard))
            break;
        const Clock::time_point started = Clock::now();
        const OperationResult result = session_.runOnce(command_, image_.binaryPath);
        report(board++, result, secondsSince(started), totals);
        if (!enter(State::Between))
            break;
        const WaitResult gone = result.outcome == Outcome::LineLost ? WaitResult::LineLost
                                                                    : WaitUntilBoardGone(ctx, kGoneAfter);
        if (gone == WaitResult::LineLost && !reopen())
            break;
    }
    ctx.connectAnswered = false;
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
    return !stopRequested_;
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

void Station::report(unsigned board, const OperationResult& result, double seconds, StationTotals& totals)
{
    const int exitCode = session_.exitCodeFor(result);
    const bool passed = exitCode == ExitSuccess;
    (passed ? totals.passed : totals.failed) += 1;
    const PortOutcome outcome{label_, commandName(command_), result, exitCode};
    char line[160];
    std::snprintf(line, sizeof line, "%s %s board %u %.1f s", passed ? "PASS" : "FAIL", label_.c_str(), board, seconds);
    const std::string reason = passed ? "" : std::string(" ") + outcomeName(result.outcome) + ": " + result.message;
    const std::string fields = "\"board\":" + std::to_string(board) + "," + resultFields(outcome);
    console_.resultLine(slot_, line + reason, "board", fields);
    if (!records_.enabled())
        return;
    const std::string record = "{\"time\":" + jsonString(utcTimeText()) + ",\"port\":" + jsonString(label_) +
                               ",\"adapter_serial\":" + jsonString(adapterSerial_) +
                               ",\"image\":" + jsonString(image_.binaryPath) + ",\"size\":" +
                               jsonString(image_.sizeText) + ",\"checksum\":" + jsonString(image_.checksumText) +
                               "," + fields + "}";
    if (!records_.append(record))
        console_.message(slot_, "could not append to the record file");
}

} // namespace pw::cli
