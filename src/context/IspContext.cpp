#include "context/IspContext.h"

#include <climits>
#include <thread>
#include <unistd.h>

namespace pw {

IspContext::IspContext(MessageBoxes& messageBoxes)
    : boxes(messageBoxes), port(messageBoxes, portMap), pause([](Millis duration) {
          if (duration.count() > 0)
              std::this_thread::sleep_for(duration);
      })
{
}

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
