#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw::sim {

// Misbehaviours the simulated boot loader can be told to show, to exercise the program's
// failure paths. Counts are of frames understood (or replies sent) since start.
struct Fault {
    enum class Kind {
        SilentAfter,  // answer nothing after N frames
        WrongConnect, // connect reply 0F 81 00 00 00 00 FF
        Corrupt,      // flip bit 0 of byte 3 of reply N (replies counted from 1)
        Slow,         // delay every reply by N ms
        HangupAfter,  // close the pty master once the reply to frame N is out
        NoBaudSwitch, // ignore the rate command: keep the old rate
        EraseBusy,    // erase-done reply only N ms after the erase start
    };
    Kind kind;
    std::uint32_t value = 0;
};

// A whole number of the command line ("12"); nullopt for anything else.
std::optional<std::uint32_t> parseCount(std::string_view text);
// "silent-after=3", "wrong-connect", ... ; nullopt for anything else.
std::optional<Fault> parseFault(std::string_view text);
// The value of the first fault of this kind, nullopt when it is not set.
std::optional<std::uint32_t> faultValue(const std::vector<Fault>& faults, Fault::Kind kind);

struct SimOptions {
    std::string flashFile; // empty: flash lives in memory only
    bool pacing = true;    // bytes take their real time on the line
    std::vector<Fault> faults;
    std::string logFile;                // empty: no frame log file
    std::uint32_t adapterLatencyMs = 0; // replies held to the ticks of a USB adapter's latency timer
    bool eventChar = false;             // the adapter hands a reply over when its last byte (0xFF) arrives
    // A line of boards that come and go (see BoardLine); 0: one board, for good.
    std::uint32_t boards = 0;
    std::uint32_t swapMinMs = 0; // each swap takes a time drawn from MIN to MAX
    std::uint32_t swapMaxMs = 0;
    std::uint32_t stayMs = 0;      // a board that failed stays this long before it is taken
    std::uint32_t faultyBoard = 0; // faults only for this board (1 = the first); 0: for all
    double faultRate = 0;          // each board draws a fault of its own with this probability
    std::uint32_t seed = 1;        // for the swaps and faults drawn: the same line every time
};

} // namespace pw::sim
