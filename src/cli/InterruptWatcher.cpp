#include "cli/InterruptWatcher.h"

#include <csignal>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace pw::cli {

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt) : onInterrupt_(std::move(onInterrupt))
{
    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGINT);
    sigaddset(&watched, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    signalFd_ = ::signalfd(-1, &watched, SFD_CLOEXEC);
    stopFd_ = ::eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { watch(); });
}

InterruptWatcher::~InterruptWatcher()
{
    const std::uint64_t one = 1;
    if (::write(stopFd_, &one, sizeof one) < 0) {
        // The watcher then ends with the process; nothing else can be done here.
    }
    thread_.join();
    ::close(signalFd_);
    ::close(stopFd_);
}

bool InterruptWatcher::interrupted() const
{
    return interrupted_;
}

void InterruptWatcher::watch()
{
    pollfd fds[2] = {{signalFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        if (fds[0].revents != 0) {
            signalfd_siginfo info;
            if (::read(signalFd_, &info, sizeof info) == sizeof info) {
                interrupted_ = true;
                onInterrupt_();
            }
        }
    }
}

} // namespace pw::cli
