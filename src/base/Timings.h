#pragma once
#include <chrono>

namespace pw {

using Millis = std::chrono::milliseconds;

// The fixed pauses and reply time-outs towards the target. The defaults are the product's;
// tests shorten the pauses to keep the suite quick.
struct Timings {
    // Link control.
    Millis openLinkPause{500};    // after opening, before the monitor starts
    Millis closePortPause{500};   // after closing the port for a window
    Millis baudSwitchPause{50};   // before and after the close inside a rate switch
    Millis afterSwitchPause{500}; // after a rate switch, before the next packet
    Millis reopenClosePause{50};  // before closing at the end of an operation
    Millis reopenPause{500};      // after that close and again before the monitor starts
    Millis afterOperationPause{1500};
    Millis dumpHandOverPause{50}; // around handing the port to the Dump dialog
    // Erase pauses before the status command.
    Millis chipErasePause{50};
    Millis pageErasePause{40};
    Millis autoChipErasePause{30};
    // Reply time-outs.
    Millis shortReply{500};
    Millis longReply{1000};
    // Bound for the waits that would otherwise wait for ever (set-address, write, read, and
    // Auto's handshake and erase steps): far above any real reply.
    Millis unboundedReply{3000};
    // A station's look for a board: a connect reply takes 15 ms at 9600, and a USB adapter's
    // 16 ms latency timer twice over still leaves room.
    Millis presenceReply{100};
};

} // namespace pw
