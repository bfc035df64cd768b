// What a serial number costs a board: the reservation (lock, read what others appended,
// append, fsync) and its outcome (the same again), one board after another and with several
// ports drawing from the pool at once.
//   bench_serial_pool [folder] [boards]   (default: a new folder in the current one, 200)
// The pool must lie on the disk the line would use: on tmpfs, fsync costs nothing.
#include "line/SerialPool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

// Each port draws `boards` numbers: reserve, then used. Returns each board's milliseconds.
std::vector<double> draw(const std::string& path, unsigned ports, unsigned boards)
{
    pw::SerialPool pool;
    if (pool.open(path)) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    std::vector<std::vector<double>> perPort(ports);
    std::vector<std::thread> threads;
    for (unsigned port = 0; port < ports; ++port)
        threads.emplace_back([&, port] {
            for (unsigned board = 0; board < boards; ++board) {
                const auto began = Clock::now();
                std::uint64_t number = 0;
                if (pool.reserve("port" + std::to_string(port), std::numeric_limits<std::uint64_t>::max(), number) ||
                    pool.settle(number, true, "", "records.jsonl:1"))
                    std::abort();
                perPort[port].push_back(msSince(began));
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::vector<double> all;
    for (const auto& times : perPort)
        all.insert(all.end(), times.begin(), times.end());
    return all;
}

} // namespace

int main(int argc, char** argv)
{
    const bool ownFolder = argc < 2;
    std::string folder = ownFolder ? (std::filesystem::current_path() / "pw-pool-bench").string() : argv[1];
    const unsigned boards = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 200;
    std::filesystem::create_directories(folder);
    std::printf("serial pool in %s, %u boards per port; per board: reserve + used (two fsyncs)\n", folder.c_str(),
                boards);
    std::printf("%-6s %10s %10s %10s %12s\n", "ports", "p50 ms", "p95 ms", "max ms", "boards/s");
    for (const unsigned ports : {1u, 4u, 8u}) {
        const std::string path = folder + "/pool-" + std::to_string(ports) + ".jsonl";
        std::filesystem::remove(path);
        if (pw::SerialPool::create(path, {1, 1, std::nullopt})) {
            std::fprintf(stderr, "cannot create %s\n", path.c_str());
            return 1;
        }
        const auto began = Clock::now();
        const std::vector<double> times = draw(path, ports, boards);
        const double seconds = msSince(began) / 1000;
        std::printf("%-6u %10.2f %10.2f %10.2f %12.0f\n", ports, percentile(times, 0.5), percentile(times, 0.95),
                    percentile(times, 1.0), static_cast<double>(times.size()) / seconds);
    }
    if (ownFolder)
        std::filesystem::remove_all(folder);
    return 0;
}
