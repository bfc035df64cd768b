#pragma once
// The simulator's inside, shared by the files that each hold one concept of it: the board and
// its faults (BoardFrames.cpp), the pacing of replies (ReplyPacing.cpp), the statistics
// (SimStats.cpp) and the thread with the public face (Simulator.cpp).
#include "sim/Simulator.h"

#include "sim/BoardLine.h"
#include "sim/BootLoader.h"
#include "sim/FrameDecoder.h"
#include "sim/Pty.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pw::sim {

using Clock = std::chrono::steady_clock;
using Kind = Fault::Kind;

// What a receiver set to another rate makes of a byte: some other pattern, never a start byte.
inline std::uint8_t lineNoise(std::uint8_t byte)
{
    return static_cast<std::uint8_t>(0x80 | (byte >> 1));
}

inline std::int64_t microseconds(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

// 8N1: ten bit times per byte.
inline Clock::duration byteTime(std::uint32_t rate)
{
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

// How long before a reply is due the simulator wakes to wait out the rest without sleeping.
inline constexpr auto kSpinAhead = std::chrono::microseconds(150);
// How often a pending hang-up looks whether the program has read the last reply.
inline constexpr auto kHangupRecheck = std::chrono::milliseconds(2);

struct Inbound {
    std::uint8_t byte;
    Clock::time_point due; // when its stop bit would have arrived
};

struct Reply {
    std::vector<std::uint8_t> bytes;
    Clock::time_point notBefore;
};

struct Simulator::Impl {
    explicit Impl(SimOptions opts) : options(std::move(opts)) {}

    // Thread side.
    void run();
    void readInput(Clock::time_point now);
    void deliverArrived(Clock::time_point now);
    void onFrame(const std::vector<std::uint8_t>& bytes, bool complete, Clock::time_point now);
    void queueReply(const FrameOutcome& outcome, Clock::time_point now);
    void writeDue(Clock::time_point now);
    void writeWire(std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to);
    void hangUpWhenDrained(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    Clock::time_point deliveredAt(Clock::time_point offTheWire, const Reply& reply) const;
    void waitForActivity(std::optional<Clock::time_point> deadline) const;

    void appendLog(FrameDirection direction, const std::vector<std::uint8_t>& bytes, Clock::time_point now);
    void saveFlash();
    void wake() const;
    void fitFreshBoard();
    // A fault of the command line, where it applies to the board that is there.
    std::optional<std::uint32_t> fault(Kind kind) const { return faultValue(line.faults(), kind); }
    bool has(Kind kind) const { return fault(kind).has_value(); }
    Clock::duration faultMs(Kind kind) const { return std::chrono::milliseconds(fault(kind).value_or(0)); }
    Clock::duration pace() const { return options.pacing ? byteTime(loader.lineRate()) : Clock::duration::zero(); }

    const SimOptions options;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::thread thread;
    bool stopRequested = false;
    int wakeFd = -1;
    std::string error;

    Pty pty;
    FlashMemory flash;
    BootLoader loader{flash};
    BoardLine line{options};
    std::uint64_t boardFrames = 0;      // complete frames the board that is there has heard
    std::vector<FlashBytes> boardsGone; // the flash each board of the line left with
    FrameDecoder decoder;
    std::vector<FrameLogEntry> log;
    std::ofstream logFile;
    SimCounters counters;

    Clock::time_point startTime;
    Clock::time_point eraseStartTime;
    std::deque<Inbound> inbound;
    Clock::time_point inFree;
    std::deque<Reply> outbound;
    bool replyStarted = false;
    Clock::time_point replyStart;
    Clock::time_point outFree;
    std::uint64_t repliesQueued = 0;
    Clock::time_point replyEnd;   // when the last reply was written whole
    Clock::duration writeCost{};  // running mean of how long a reply's write takes
    bool awaitingRequest = false; // a reply went out; the next byte read closes a turnaround
    std::vector<std::int64_t> turnaroundUs;
    std::vector<std::int64_t> pacingErrorUs;
    bool hangupPending = false;
    Clock::time_point hangupBy;
    Clock::time_point lastWrite; // latest moment, even when the program never reads
};

} // namespace pw::sim
