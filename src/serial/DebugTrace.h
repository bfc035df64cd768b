#pragma once

namespace pw {

// Developer trace lines (the monitor thread's start and end). Silent unless the environment
// variable PAGEWISE_DEBUG is set to a non-empty value; then they go to stderr.
void debugTrace(const char* line);

} // namespace pw
