// Operations in a row, of every kind, with seeded random target faults between them. After
// each run, once its link and target are gone, the process must hold exactly the threads and
// descriptors it held before: a leak of either shows within a few runs.
//   bench_soak [runs]      (default: 200)
#include "support/EngineBench.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

namespace {

using namespace pw;
using namespace pw::test;
using Kind = sim::Fault::Kind;

int entriesIn(const char* folder)
{
    DIR* dir = ::opendir(folder);
    if (!dir)
        return -1;
    int count = 0;
    while (const dirent* entry = ::readdir(dir))
        count += entry->d_name[0] != '.';
    ::closedir(dir);
    return count;
}

std::pair<int, int> census()
{
    return {entriesIn("/proc/self/task"), entriesIn("/proc/self/fd")};
}

// Most runs meet a healthy target; about one in seven meets one misbehaviour.
std::vector<sim::Fault> randomFaults(std::mt19937& random)
{
    const auto pick = [&](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    if (pick(0, 6) != 0)
        return {};
    switch (pick(0, 5)) {
    case 0: return {{Kind::SilentAfter, pick(0, 14)}};
    case 1: return {{Kind::WrongConnect, 0}};
    case 2: return {{Kind::Corrupt, pick(1, 20)}};
    case 3: return {{Kind::HangupAfter, pick(2, 14)}};
    case 4: return {{Kind::NoBaudSwitch, 0}};
    default: return {{Kind::Slow, pick(1, 5)}};
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    constexpr std::uint32_t rates[] = {9600, 57600, 115200};
    std::mt19937 random(20240611);
    {
        EngineBench warmUp; // first use of the libraries allocates what they keep for the process
        warmUp.run(OpKind::Program, {.image = patternImage(0x40)});
    }
    const auto start = census();
    std::map<std::string, int> outcomes;
    int unsound = 0;
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        const std::vector<sim::Fault> faults = randomFaults(random);
        const OpKind op = kAllOps[static_cast<std::size_t>(i) % std::size(kAllOps)];
        {
            EngineBench bench(SimHarness::withFaults(faults));
            sim::FlashBytes flash;
            flash.fill(0xFF);
            std::ranges::copy(patternImage(0x40), flash.begin()); // what Verify compares with
            bench.sim.sim().setFlash(flash);
            bench.ctx.baudRate = rates[std::uniform_int_distribution<std::size_t>(0, 2)(random)];
            const OperationResult result = bench.run(op, {.image = patternImage(0x40), .pageCount = 1});
            const bool told = result.outcome == Outcome::Success || !bench.boxes.texts().empty();
            if (bench.ctx.busy != 0 || !told || (faults.empty() && result.outcome != Outcome::Success)) {
                ++unsound;
                std::printf("run %d (%s): busy %d, outcome %d, %s\n", i, opName(op), bench.ctx.busy.load(),
                            static_cast<int>(result.outcome), result.message.c_str());
            }
            ++outcomes[std::string(opName(op)) + (faults.empty() ? "" : " (fault)")];
        }
        if (census() != start) {
            std::printf("run %d (%s): threads %d -> %d, descriptors %d -> %d\n", i, opName(op), start.first,
                        census().first, start.second, census().second);
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    std::printf("%d runs in %.1f s, no thread or descriptor left behind, %d unsound\n", runs, seconds, unsound);
    for (const auto& [name, count] : outcomes)
        std::printf("  %-20s %d\n", name.c_str(), count);
    return unsound == 0 ? 0 : 1;
}
