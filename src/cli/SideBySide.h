#pragma once
#include "cli/InterruptWatcher.h"

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace pw::cli {

// Every port's work on a thread of its own, Ctrl-C passed to each; the results in port order.
// The watcher comes first: it keeps the signals from every thread made after it.
template <typename Result>
std::vector<Result> sideBySide(std::size_t ports, const std::function<Result(std::size_t)>& work,
                               const std::function<void(std::size_t)>& interrupt)
{
    InterruptWatcher watcher([&] {
        for (std::size_t slot = 0; slot < ports; ++slot)
            interrupt(slot);
    });
    std::vector<Result> results(ports);
    std::vector<std::thread> threads;
    for (std::size_t slot = 0; slot < ports; ++slot)
        threads.emplace_back([&, slot] { results[slot] = work(slot); });
    for (std::thread& thread : threads)
        thread.join();
    return results;
}

} // namespace pw::cli
