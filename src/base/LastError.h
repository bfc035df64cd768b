#pragma once

#include <cerrno>
#include <cstring>
#include <string>

namespace pw {

// The text for the error the last failed system call left in errno.
inline std::string lastError()
{
    return std::strerror(errno);
}

} // namespace pw
