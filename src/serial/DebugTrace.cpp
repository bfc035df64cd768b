#include "serial/DebugTrace.h"

#include <cstdio>
#include <cstdlib>

namespace pw {

void debugTrace(const char* line)
{
    static const bool enabled = [] {
        const char* value = std::getenv("PAGEWISE_DEBUG");
        return value != nullptr && *value != '\0';
    }();
    if (enabled)
        std::fprintf(stderr, "%s\n", line);
}

} // namespace pw
