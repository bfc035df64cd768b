#pragma once
#include "sim/FlashMemory.h"
#include "sim/FrameLog.h"
#include "sim/SimOptions.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw::sim {

struct SimCounters {
    std::uint64_t framesIn = 0;        // complete frames received
    std::uint64_t framesRejected = 0;  // abandoned frame starts
    std::uint64_t repliesOut = 0;      // replies fully written (or lost)
    std::uint64_t noiseBytesIn = 0;    // bytes received while the rates differed
    std::uint64_t garbledBytesOut = 0; // reply bytes written while the rates differed
    std::uint64_t lostBytesOut = 0;    // reply bytes the pty would not take
    std::uint64_t resets = 0;
    std::uint64_t saveFailures = 0;
    bool hungUp = false;
    std::uint32_t boardsArrived = 0;   // with --boards: the boards that came, this one included
    std::uint32_t boardsWithFault = 0; // of those, the boards the command line's or a drawn fault was for
};

// Three figures of a set of samples, in microseconds.
struct Percentiles {
    std::int64_t p50 = 0;
    std::int64_t p99 = 0;
    std::int64_t max = 0;
};

// How fast the other side and the simulator itself were, since the start or clearFrames().
struct SimStats {
    std::size_t exchanges = 0; // replies followed by a next frame
    // Host turnaround: from writing the last byte of a reply to reading the first byte of the
    // frame that follows it.
    Percentiles turnaround;
    // The simulator's own pacing error: when a reply's write ended against the time its last
    // byte was due on the line, negative when early (paced runs only).
    Percentiles pacingError;
};
std::string statsLine(const SimStats& stats);
// p50, p99 and the largest of a set of samples.
Percentiles percentiles(std::vector<std::int64_t> samples);

// The chip's boot loader on a pseudo-terminal, run by one thread of its own. Every accessor
// may be called from any thread.
class Simulator {
public:
    explicit Simulator(SimOptions options = {});
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the flash file, opens the pty and starts the thread. False with error() on failure.
    bool start();
    // Ends the thread and closes the pty; the flash file is saved. Safe to call twice.
    void stop();
    std::string error() const;
    std::string slavePath() const;

    FlashBytes flash() const;
    // With --boards: the flash of every board that has been on the fixture, in order; the last
    // is the one there now (or the last to leave).
    std::vector<FlashBytes> boardFlashes() const;
    void setFlash(const FlashBytes& bytes);
    // The reset button: back to waiting for a connect at 9600; flash is kept.
    void reset();

    std::vector<FrameLogEntry> frames() const;
    void clearFrames(); // and the samples of stats()
    SimStats stats() const;
    SimCounters counters() const;
    std::uint32_t expectedRate() const;
    bool connected() const;

    // Waits until the predicate holds for the frame log; it is checked whenever the log grows.
    bool waitForLog(const std::function<bool(const std::vector<FrameLogEntry>&)>& predicate,
                    std::chrono::milliseconds timeout) const;
    bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace pw::sim
