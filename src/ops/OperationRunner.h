#pragma once
#include "context/IspContext.h"

#include <functional>
#include <thread>

namespace pw {

// Starts one worker at a time on a std::thread and joins it. `start` claims `busy`
// atomically before the thread exists, so a double click can never start two workers.
class OperationRunner {
public:
    explicit OperationRunner(IspContext& ctx);
    ~OperationRunner(); // cancels and joins a running worker
    OperationRunner(const OperationRunner&) = delete;
    OperationRunner& operator=(const OperationRunner&) = delete;

    // The one place that decides whether an operation may start: none runs and, if
    // `needsOpenPort`, the port is open. A window asks it before it prepares a run.
    bool canStart(bool needsOpenPort = true) const;
    // False (and nothing started) when canStart is false. Claims `busy` and resets
    // cancelEvent before starting; `work` must lower `busy` when it ends.
    bool start(std::function<void()> work, bool needsOpenPort = true);
    // Signals cancelEvent while an operation runs.
    void cancel();
    // Waits for the last worker to end.
    void join();
    bool running() const;

private:
    IspContext& ctx_;
    std::thread worker_;
};

} // namespace pw
