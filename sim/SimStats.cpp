// How fast the program answered and how exactly the simulator kept the line's time.
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cstdio>

namespace pw::sim {

Percentiles percentiles(std::vector<std::int64_t> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double q) {
        return samples[static_cast<std::size_t>(q * static_cast<double>(samples.size() - 1))];
    };
    return {at(0.50), at(0.99), samples.back()};
}

SimStats Simulator::stats() const
{
    std::lock_guard lock(impl_->mutex);
    return {impl_->turnaroundUs.size(), percentiles(impl_->turnaroundUs), percentiles(impl_->pacingErrorUs)};
}

std::string statsLine(const SimStats& stats)
{
    char text[200];
    std::snprintf(
        text, sizeof text,
        "exchanges %zu  host turnaround p50/p99/max %lld/%lld/%lld us  pacing error p50/p99/max %lld/%lld/%lld us",
        stats.exchanges, static_cast<long long>(stats.turnaround.p50), static_cast<long long>(stats.turnaround.p99),
        static_cast<long long>(stats.turnaround.max), static_cast<long long>(stats.pacingError.p50),
        static_cast<long long>(stats.pacingError.p99), static_cast<long long>(stats.pacingError.max));
    return text;
}

} // namespace pw::sim
