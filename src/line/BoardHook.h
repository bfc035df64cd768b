#pragma once
#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace pw {

// What became of one --before-board or --after-board command.
struct HookResult {
    bool passed = true;
    std::string status;     // "exit 0", "exit 3", "killed by signal 9", "overran 10 s", "could not start"
    std::string outputTail; // the end of what it wrote to stdout and stderr together
};

// Runs `command` through /bin/sh -c with `environment` added to ours, its stdin empty and its
// output kept (not passed on: stdout may be a line controller's JSON). A command still running
// after `limit` is killed with its process group and counts as failed.
HookResult runBoardHook(const std::string& command, const std::vector<std::pair<std::string, std::string>>& environment,
                        std::chrono::milliseconds limit);

} // namespace pw
