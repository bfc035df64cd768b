// pagewise-sim: the boot loader on a pseudo-terminal, for trying Pagewise without a chip.
#include "base/Version.h"
#include "sim/SimCommandLine.h"
#include "sim/Simulator.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace {

// Replaces a stale link; refuses to replace anything that is not a link.
bool makeLink(const std::string& link, const std::string& target)
{
    char buffer[1];
    if (::readlink(link.c_str(), buffer, sizeof buffer) >= 0)
        ::unlink(link.c_str());
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

sigset_t handledSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    return signals;
}

int serve(pw::sim::Simulator& simulator, const std::string& link, bool stats)
{
    const sigset_t signals = handledSignals();
    for (;;) {
        int signal = 0;
        if (sigwait(&signals, &signal) != 0)
            continue;
        if (signal == SIGUSR1) {
            simulator.reset();
            continue;
        }
        simulator.stop();
        if (!link.empty())
            ::unlink(link.c_str());
        if (stats)
            std::cerr << pw::sim::statsLine(simulator.stats()) << "\n";
        return 0;
    }
}

} // namespace

int main(int argc, char** argv)
{
    pw::sim::SimCommandLine commandLine;
    std::string error;
    if (!pw::sim::parseSimCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
        std::cerr << "pagewise-sim: " << error << "\n" << pw::sim::simUsage();
        return 2;
    }
    if (commandLine.help || commandLine.version) {
        std::cout << (commandLine.help ? pw::sim::simUsage() : std::string("pagewise-sim ") + pw::kVersionText + "\n");
        return 0;
    }
    // Blocked before the simulator thread exists, so only sigwait below sees them.
    const sigset_t signals = handledSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    pw::sim::Simulator simulator(commandLine.options);
    if (!simulator.start()) {
        std::cerr << "pagewise-sim: " << simulator.error() << "\n";
        return 1;
    }
    // The link exists before the path is printed: whoever reads the line may use either.
    if (!commandLine.linkPath.empty() && !makeLink(commandLine.linkPath, simulator.slavePath())) {
        std::cerr << "pagewise-sim: cannot create the link " << commandLine.linkPath << "\n";
        simulator.stop();
        return 1;
    }
    std::cout << simulator.slavePath() << std::endl;
    return serve(simulator, commandLine.linkPath, commandLine.stats);
}
