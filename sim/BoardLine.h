#pragma once
#include <chrono>
#include <cstdint>

namespace pw::sim {

// A production line's fixture (--boards N --swap-ms MS): a board is taken away once it has
// been told to leave ISP or, when a fault has silenced it, at the first connect frame it
// leaves unanswered (the station looking for it); MS later a fresh board answers. After the
// last board the fixture stays empty. With no boards given there is one board, for good.
class BoardLine {
public:
    using Clock = std::chrono::steady_clock;
    enum class Presence { Same, Fresh, Empty };

    BoardLine(std::uint32_t boards, std::chrono::milliseconds swap, std::uint32_t faultyBoard)
        : boards_(boards), swap_(swap), faultyBoard_(faultyBoard)
    {
    }

    bool active() const { return boards_ > 0; }
    // Who hears a frame arriving at `now`: the board that was there, a fresh one, or nobody.
    Presence hear(Clock::time_point now);
    void takeAway(Clock::time_point now);
    // The faults of the command line are for this board (all boards unless one was named).
    bool faultsApply() const { return faultyBoard_ == 0 || faultyBoard_ == board_; }
    std::uint32_t board() const { return board_; }

private:
    std::uint32_t boards_;
    std::chrono::milliseconds swap_;
    std::uint32_t faultyBoard_;
    std::uint32_t board_ = 1;
    bool away_ = false;
    Clock::time_point nextArrives_{};
};

} // namespace pw::sim
