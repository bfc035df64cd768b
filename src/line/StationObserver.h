#pragma once
#include "base/MessageBoxes.h"
#include "line/BoardRecord.h"
#include "line/Outcomes.h"
#include "ops/OperationView.h"
#include "serial/ModemLines.h"

#include <cstddef>
#include <optional>
#include <string>

namespace pw {

// What a station waits for: a board to answer, a board to be taken away, its port to come back.
struct StationWait {
    enum class For { Board, Removal, Port };
    For what = For::Board;
    unsigned board = 0;
    bool again = false; // said before, and nothing said on it for a while since
};

// A stop that needs a person: nothing more runs on the line until someone has seen to it.
struct StationStop {
    StopReason reason = StopReason::PortGone;
    unsigned board = 0;              // the board it happened at
    std::string store;               // RecordNotKept: the store's name
    std::string detail;              // the lower layer's why: the file's error, the pool's problem, the port's refusal
    ModemLine line = ModemLine::Dtr; // ResetLineFailed
};

struct StationTotals {
    unsigned passed = 0;
    unsigned failed = 0;
    double hours = 0;
    std::optional<StationStop> stop; // why the station stopped on its own, if it did
};

// What one station (one port of a line) tells its front end, from its own thread. `slot`
// names the port. The runs' log lines, phases and progress go to view(slot), their boxes to
// boxes(slot).
class StationObserver {
public:
    virtual ~StationObserver() = default;
    virtual OperationView& view(std::size_t slot) = 0;
    virtual MessageBoxes& boxes(std::size_t slot) = 0;
    // What the serial layer says of the port (a latency timer it could not set).
    virtual void notice(std::size_t slot, const std::string& text) = 0;
    virtual void started(std::size_t slot) = 0;
    virtual void waiting(std::size_t slot, const StationWait& wait) = 0;
    virtual void boardStarted(std::size_t slot, unsigned board) = 0;
    // An attempt ended in a time-out or a hang-up, and the board is run again.
    virtual void retrying(std::size_t slot, unsigned board, unsigned attempt, Outcome outcome) = 0;
    // The board's one verdict, with the record it was given (empty without a record store).
    virtual void boardEnded(std::size_t slot, const BoardReport& report, const QJsonObject& record) = 0;
    virtual void stopped(std::size_t slot, const StationStop& stop) = 0;
    virtual void finished(std::size_t slot, const StationTotals& totals) = 0;
};

} // namespace pw
