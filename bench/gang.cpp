// The same 64 KiB Program at 115200 on one simulated target, then on eight at once, each with
// its own context and worker thread, as the gang command line runs them. Prints both wall
// times and their ratio; every target's flash is checked against the image.
//   bench_gang [targets] [KiB]      (default: 8 targets, 64 KiB)
#include "BenchLink.h"

#include <filesystem>
#include <memory>
#include <thread>

namespace {

using pw::bench::BenchLink;

constexpr std::uint32_t kRate = 115200;

struct GangRun {
    double seconds = 0;
    int failures = 0;
};

GangRun programAll(const std::string& folder, int targets, const std::vector<std::uint8_t>& image)
{
    std::vector<std::unique_ptr<BenchLink>> links;
    for (int i = 0; i < targets; ++i) {
        links.push_back(std::make_unique<BenchLink>(folder, i));
        links.back()->ctx.baudRate = kRate;
        links.back()->writeImage(image);
    }
    std::vector<pw::OperationResult> results(static_cast<std::size_t>(targets));
    const auto began = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int i = 0; i < targets; ++i)
        workers.emplace_back([&, i] {
            results[static_cast<std::size_t>(i)] = links[static_cast<std::size_t>(i)]->run(pw::bench::programImage);
        });
    for (std::thread& worker : workers)
        worker.join();
    GangRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    for (int i = 0; i < targets; ++i) {
        const pw::sim::FlashBytes flash = links[static_cast<std::size_t>(i)]->sim().flash();
        const bool holds = std::equal(image.begin(), image.end(), flash.begin());
        if (results[static_cast<std::size_t>(i)].outcome != pw::Outcome::Success || !holds)
            ++run.failures;
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const int targets = argc > 1 ? std::atoi(argv[1]) : 8;
    const std::size_t kib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    const std::vector<std::uint8_t> image = pw::bench::benchImage(std::min<std::size_t>(kib, 64) * 1024);
    const std::string folder = pw::bench::benchFolder();

    const GangRun one = programAll(folder, 1, image);
    const GangRun many = programAll(folder, targets, image);
    std::printf("%-22s %10s %10s\n", "gang Program 115200", "targets", "wall s");
    std::printf("%-22s %10d %10.2f%s\n", "", 1, one.seconds, one.failures ? "  FAILED" : "");
    std::printf("%-22s %10d %10.2f%s\n", "", targets, many.seconds, many.failures ? "  FAILED" : "");
    std::printf("%-22s %10s %9.3fx\n", "ratio", "", many.seconds / one.seconds);
    std::filesystem::remove_all(folder);
    return one.failures + many.failures == 0 ? 0 : 1;
}
