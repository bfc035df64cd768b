#pragma once
#include "ops/Operations.h"

namespace pw {

// The exit status of a run: what pagewise-cli exits with, and what a record's "exit" says,
// so that a reader of records and a script that runs the command line see the same number.
// A gang run exits with the worst of its ports.
enum ExitCode : int {
    ExitSuccess = 0,
    ExitMismatch = 1,
    ExitNoReply = 2,
    ExitBadInput = 3,
    ExitPortError = 4,
    ExitNotKept =
        5, // what a run keeps (a record, a serial pool, a dump's file) could not be written, or the pool is used up
    ExitInterrupted = 130,
};

// What an operation's outcome is called wherever it is written down: its word (results,
// events, records), the class of fault a line controller sorts it into (none for success),
// whether a station runs the board again after it, and the exit status it gives.
struct OutcomeTraits {
    const char* word;
    const char* errorClass;
    bool retryable;
    ExitCode exitCode;
};
const OutcomeTraits& traitsOf(Outcome outcome);

// Why a station stopped on its own (not for a person's Stop): each needs a person before the
// line may go on.
enum class StopReason {
    RecordNotKept,   // a board's record could not be written
    SerialPool,      // the pool cannot be written, or has no number left
    PortGone,        // the port cannot be opened
    ResetLineFailed, // the reset line cannot be pulsed
    ImageUnusable,   // the image could not be read at a board: every further board would fail alike
};
struct StopTraits {
    const char* word; // the station's result
    ExitCode exitCode;
};
const StopTraits& traitsOf(StopReason reason);

} // namespace pw
