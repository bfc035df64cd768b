#include "sim/BoardLine.h"

namespace pw::sim {

namespace {

// A fault drawn for a board fails it whatever the rate and the operation: it stops answering
// part-way, or it answers the connect frame and garbles its reply to the handshake.
Fault drawFault(std::mt19937& random)
{
    if (std::uniform_int_distribution<int>(0, 1)(random) == 0)
        return {Fault::Kind::SilentAfter, std::uniform_int_distribution<std::uint32_t>(3, 60)(random)};
    return {Fault::Kind::Corrupt, 2};
}

} // namespace

BoardLine::BoardLine(const SimOptions& options) : options_(options), random_(options.seed)
{
    fit();
}

void BoardLine::fit()
{
    heardConnect_ = false;
    leaving_.reset();
    faults_.clear();
    if (options_.faultyBoard == 0 || options_.faultyBoard == board_ || !active())
        faults_ = options_.faults;
    if (active() && options_.faultRate > 0 &&
        std::uniform_real_distribution<double>(0, 1)(random_) < options_.faultRate)
        faults_.push_back(drawFault(random_));
    boardsWithFault_ += faults_.empty() ? 0 : 1;
}

bool BoardLine::boardThere(Clock::time_point now)
{
    if (leaving_ && now >= *leaving_)
        takeAway(*leaving_);
    return !away_;
}

BoardLine::Presence BoardLine::hear(Clock::time_point now, bool connect)
{
    if (!active())
        return Presence::Same;
    if (boardThere(now)) {
        if (connect && heardConnect_)
            lookedAgain(now);
        heardConnect_ |= connect;
        return away_ ? Presence::Empty : Presence::Same;
    }
    if (board_ >= options_.boards || now < nextArrives_)
        return Presence::Empty;
    ++board_;
    away_ = false;
    fit();
    heardConnect_ = connect;
    return Presence::Fresh;
}

void BoardLine::heardNoise(Clock::time_point now)
{
    if (active() && !away_ && heardConnect_)
        lookedAgain(now);
}

void BoardLine::lookedAgain(Clock::time_point now)
{
    if (leaving_)
        return;
    leaving_ = now + std::chrono::milliseconds(options_.stayMs);
    if (*leaving_ <= now)
        takeAway(now);
}

void BoardLine::takeAway(Clock::time_point now)
{
    if (!active() || away_)
        return;
    away_ = true;
    leaving_.reset();
    const std::uint32_t swap = std::uniform_int_distribution<std::uint32_t>(
        options_.swapMinMs, std::max(options_.swapMinMs, options_.swapMaxMs))(random_);
    nextArrives_ = now + std::chrono::milliseconds(swap);
}

} // namespace pw::sim
