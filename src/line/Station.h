#pragma once
#include "line/BoardRecord.h"
#include "line/ImageInput.h"
#include "line/PortSession.h"
#include "line/RecordStore.h"
#include "line/StationObserver.h"
#include "line/StationSetup.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace pw {

// What the stations of one line share: the record store (null without one), opened before
// the first frame, the station's identity for its records, and a way to stop every station.
struct StationShared {
    RecordStore* records = nullptr;
    StationIdentity identity;
    std::function<void()> stopAll;
};

// One port of a line: waits for a board, runs the command on it from its
// handshake on (again after a time-out or hang-up, up to --retries), gives it one verdict,
// PASS or FAIL (a failing hook makes it FAIL), records it, lets the board go, and again,
// until stop().
class Station {
public:
    Station(PortSession& session, std::size_t slot, StationObserver& observer, StationShared& shared,
            const StationSetup& setup, std::string adapterSerial);

    StationTotals run();
    // The station ends after the board it is on; asked again, it cancels that board.
    void stop();
    // As the first stop only: the board now on the fixture still ends as it would.
    void endAfterBoard();

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
                 const QJsonObject& record);
    void beforeBoard(BoardReport& report);
    std::optional<Arrival> awaitBoard(unsigned board, StationTotals& totals);
    bool pulseReset(unsigned board, StationTotals& totals);
    bool recordsReachable(StationTotals& totals);
    bool reserveSerial(std::optional<PlacedSerial>& serial, StationTotals& totals);
    bool stopForPool(const PoolProblem& problem, StationTotals& totals);
    BoardReport runBoard(unsigned board, Clock::time_point answered, const std::optional<PlacedSerial>& serial,
                         StationTotals& totals);
    // A board the station does not run: its before-board hook failed, or it answered wrongly.
    PortOutcome unrunOutcome(const OperationResult& result) const;
    bool finishBoard(BoardReport& report, StationTotals& totals);
    bool settleSerial(const BoardReport& report, const std::string& where, StationTotals& totals);
    QJsonObject recordOf(const BoardReport& report) const;
    bool recordAndCount(const BoardReport& report, const QJsonObject& record, StationTotals& totals,
                        std::string& where);
    void stopFor(StationStop stop, StationTotals& totals);
    bool letBoardGo(const BoardReport& report);
    bool reopen();
    // A wait begins: said at once, then again whenever the station has said nothing on what it
    // waits for in 8 s (`tick`), across reopens of a port that has gone.
    void sayWaiting(StationWait wait);
    void tick();

    PortSession& session_;
    std::string label_;
    std::size_t slot_;
    StationObserver& observer_;
    StationShared& shared_;
    const StationSetup& setup_;
    std::string adapterSerial_;
    std::mutex mutex_;
    State state_ = State::Between;
    bool stopRequested_ = false;
    StationWait waiting_; // station thread only
    Clock::time_point waitingSaid_{};
};

} // namespace pw
