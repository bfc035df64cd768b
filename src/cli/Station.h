#pragma once
#include "cli/BoardRecord.h"
#include "cli/CliOptions.h"
#include "cli/ImageInput.h"
#include "cli/PortSession.h"
#include "cli/SyncedLineFile.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace pw::cli {

// What the stations of one run share: the record file, opened before the first frame, the
// station's identity for its records, and a way to stop every station at once.
struct StationShared {
    SyncedLineFile records;
    StationIdentity identity;
    std::function<void()> stopAll;
};

struct StationTotals {
    unsigned passed = 0;
    unsigned failed = 0;
    double hours = 0;
    int exitCode = ExitSuccess; // 1 once a board failed; 3, 4 or 5 when the station had to stop
    bool serialStop = false;    // the 5 came from the serial pool, not the record file
};

// One port of pagewise-cli station: waits for a board, runs the command on it from its
// handshake on (again after a time-out or hang-up, up to --retries), gives it one verdict,
// PASS or FAIL (a failing hook makes it FAIL), records it, lets the board go, and again,
// until stop().
class Station {
public:
    Station(PortSession& session, std::size_t slot, Console& console, StationShared& shared, const CliOptions& options,
            std::string adapterSerial);

    StationTotals run();
    // Ctrl-C: the station ends after the board it is on; asked again, it cancels that board.
    void stop();

private:
    using Clock = std::chrono::steady_clock;
    enum class State { Between, OnBoard };
    // How the wait for a board ended: a board answered, rightly or wrongly, or none will.
    struct Arrival {
        Clock::time_point time;
        bool wrongReply = false;
    };
    // Under mutex_: false when the station is to end; else the state is set.
    bool enter(State state);
    bool stopping();
    bool runHook(const std::string& command, const char* name, BoardReport& report, const std::string& result,
                 const std::string& record);
    void beforeBoard(BoardReport& report);
    std::optional<Arrival> awaitBoard(unsigned board, StationTotals& totals);
    bool pulseReset(StationTotals& totals);
    bool reserveSerial(std::optional<PlacedSerial>& serial, StationTotals& totals);
    bool stopForPool(const PoolProblem& problem, StationTotals& totals);
    BoardReport runBoard(unsigned board, Clock::time_point answered, const std::optional<PlacedSerial>& serial,
                         StationTotals& totals);
    // A board the station does not run: its before-board hook failed, or it answered wrongly.
    PortOutcome unrunOutcome(const OperationResult& result) const;
    bool finishBoard(BoardReport& report, StationTotals& totals);
    bool settleSerial(const BoardReport& report, std::uint64_t recordLine, StationTotals& totals);
    std::string recordText(const BoardReport& report) const;
    bool recordAndCount(const BoardReport& report, const std::string& recordLine, StationTotals& totals,
                        std::uint64_t& lineNumber);
    bool letBoardGo(const BoardReport& report);
    bool reopen();
    // A wait begins: `said` at once, then "still " and `reminded` whenever the station has
    // said nothing on what it waits for in 8 s (`tick`), across reopens of a port that has gone.
    void sayWaiting(const std::string& said, const std::string& reminded, const QJsonObject& fields);
    void tick();

    PortSession& session_;
    std::string label_;
    std::size_t slot_;
    Console& console_;
    StationShared& shared_;
    const CliOptions& options_;
    std::string adapterSerial_;
    std::mutex mutex_;
    State state_ = State::Between;
    bool stopRequested_ = false;
    std::string waitingText_; // station thread only
    QJsonObject waitingFields_;
    Clock::time_point waitingSaid_{};
};

} // namespace pw::cli
