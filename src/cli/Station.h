#pragma once
#include "cli/ImageInput.h"
#include "cli/PortSession.h"

#include <mutex>
#include <string>

namespace pw::cli {

// --record FILE: one JSON line per board, appended and flushed as the board ends, so an
// interrupted line loses nothing. Shared by the stations of a run.
class BoardRecords {
public:
    explicit BoardRecords(std::string path) : path_(std::move(path)) {}
    bool enabled() const { return !path_.empty(); }
    bool append(const std::string& line);

private:
    std::string path_;
    std::mutex mutex_;
};

struct StationTotals {
    unsigned passed = 0;
    unsigned failed = 0;
    double hours = 0;
    bool portOpened = true;
};

// One port of pagewise-cli station: waits for a board, runs the command on it from its
// handshake on, reports PASS or FAIL and records it, waits until the board is gone, and
// again, until stop().
class Station {
public:
    Station(PortSession& session, std::size_t slot, Console& console, BoardRecords& records,
            const PreparedImage& image, Command command, std::string adapterSerial);

    StationTotals run();
    // Ctrl-C: the station ends after the board it is on; asked again, it cancels that board.
    void stop();

private:
    enum class State { Between, OnBoard };
    // Under mutex_: false when the station is to end; else the state is set.
    bool enter(State state);
    void report(unsigned board, const OperationResult& result, double seconds, StationTotals& totals);
    bool reopen();

    PortSession& session_;
    std::string label_;
    std::size_t slot_;
    Console& console_;
    BoardRecords& records_;
    const PreparedImage& image_;
    Command command_;
    std::string adapterSerial_;
    std::mutex mutex_;
    State state_ = State::Between;
    bool stopRequested_ = false;
};

} // namespace pw::cli
