#include "context/IspContext.h"

#include <climits>
#include <unistd.h>

namespace pw {

IspContext::IspContext(MessageBoxes& messageBoxes) : boxes(messageBoxes), port(messageBoxes, portMap) {}

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "./";
    std::string full(path, static_cast<std::size_t>(length));
    return full.substr(0, full.rfind('/') + 1);
}

} // namespace pw
