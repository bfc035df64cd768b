#pragma once
#include "sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace pw::sim {

// A production line's fixture (--boards N): a board is taken away once it has been told to
// leave ISP, or once the program looks for a board again without having told it to (a second
// connect frame to the same board, or bytes at a rate it no longer hears): that is a board
// that failed, and the operator takes it --stay-ms later. A swap (--swap-ms MIN[-MAX]) later a
// fresh board with erased flash answers. After the last board the fixture stays empty. With
// no boards given there is one board, for good, with the faults of the command line.
class BoardLine {
public:
    using Clock = std::chrono::steady_clock;
    enum class Presence { Same, Fresh, Empty };

    explicit BoardLine(const SimOptions& options);

    bool active() const { return options_.boards > 0; }
    // Who hears a frame arriving at `now`: the board that was there, a fresh one, or nobody.
    Presence hear(Clock::time_point now, bool connect);
    // Whether a board is in the fixture at `now` (one that is due to come is not there yet).
    bool boardThere(Clock::time_point now);
    // Bytes the board cannot make out: the program speaks at another rate.
    void heardNoise(Clock::time_point now);
    void takeAway(Clock::time_point now);
    // The faults of the board that is there: the command line's (for every board, or the one
    // named) and, with --fault-rate, the one drawn for it.
    const std::vector<Fault>& faults() const { return faults_; }
    std::uint32_t board() const { return board_; }
    std::uint32_t boardsWithFault() const { return boardsWithFault_; }

private:
    void lookedAgain(Clock::time_point now);
    void fit();

    const SimOptions& options_;
    std::mt19937 random_;
    std::uint32_t board_ = 1;
    bool away_ = false;
    bool heardConnect_ = false;                // the board that is there has heard a connect frame
    std::optional<Clock::time_point> leaving_; // when the operator takes a failed board
    Clock::time_point nextArrives_{};
    std::vector<Fault> faults_;
    std::uint32_t boardsWithFault_ = 0;
};

} // namespace pw::sim
