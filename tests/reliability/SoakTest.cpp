// Two hundred operations in a row, of every kind, with seeded random target faults between
// them. After each run, once its link and target are gone, the process must hold exactly the
// threads and descriptors it held before: a leak of either shows within a few runs.
#include "OpKinds.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <random>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

constexpr int kRuns = 200;
constexpr std::size_t kTinyImage = 0x40;
constexpr std::uint32_t kSoakRates[] = {9600, 57600, 115200};

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

struct Census {
    int threads;
    int descriptors;
    bool operator==(const Census&) const = default;
};

Census census()
{
    return {entriesIn("/proc/self/task"), entriesIn("/proc/self/fd")};
}

// Most runs meet a healthy target; about one in seven meets one misbehaviour.
std::vector<sim::Fault> randomFaults(std::mt19937& random)
{
    if (std::uniform_int_distribution<int>(0, 6)(random) != 0)
        return {};
    const auto pick = [&](std::uint32_t low, std::uint32_t high) {
        return std::uniform_int_distribution<std::uint32_t>(low, high)(random);
    };
    switch (pick(0, 5)) {
    case 0: return {{Kind::SilentAfter, pick(0, 14)}};
    case 1: return {{Kind::WrongConnect, 0}};
    case 2: return {{Kind::Corrupt, pick(1, 20)}};
    case 3: return {{Kind::HangupAfter, pick(2, 14)}};
    case 4: return {{Kind::NoBaudSwitch, 0}};
    default: return {{Kind::Slow, pick(1, 5)}};
    }
}

struct RunRecord {
    int index;
    OpKind op;
    std::uint32_t rate;
    bool faulty;
};

void checkRun(const RunRecord& r, OpsBench& bench, const OpRun& run)
{
    SCOPED_TRACE(testing::Message() << "run " << r.index << ": " << opName(r.op) << " at " << r.rate
                                    << (r.faulty ? " with a fault" : ""));
    EXPECT_EQ(bench.ctx.busy, 0);
    const sim::FlashBytes after = bench.sim.sim().flash();
    EXPECT_EQ(flashDamage(r.op, run, after), "");
    if (!r.faulty) {
        EXPECT_EQ(run.result.outcome, Outcome::Success) << run.result.message;
    }
    if (run.result.outcome == Outcome::Success) {
        EXPECT_TRUE(flashAsAfterSuccess(r.op, run, after));
        EXPECT_TRUE(r.faulty || bench.boxes.texts().empty());
    } else {
        EXPECT_FALSE(bench.boxes.texts().empty()) << "a failed run told the user nothing";
    }
}

TEST(Soak, TwoHundredRunsLeaveNoThreadOrDescriptorBehind)
{
    std::mt19937 random(20240611);
    {
        OpsBench warmUp; // first use of the libraries allocates what they keep for the process
        runOp(warmUp, OpKind::Program, 9600, kTinyImage);
    }
    const Census start = census();
    for (int i = 0; i < kRuns && !HasFailure(); ++i) {
        const std::vector<sim::Fault> faults = randomFaults(random);
        const RunRecord record{i, kAllOps[i % std::size(kAllOps)],
                               kSoakRates[std::uniform_int_distribution<std::size_t>(0, 2)(random)], !faults.empty()};
        {
            OpsBench bench(SimHarness::withFaults(faults));
            const OpRun run = runOp(bench, record.op, record.rate, kTinyImage);
            checkRun(record, bench, run);
        }
        const Census now = census();
        EXPECT_EQ(now.threads, start.threads) << "threads after run " << i << " (" << opName(record.op) << ")";
        EXPECT_EQ(now.descriptors, start.descriptors) << "descriptors after run " << i << " (" << opName(record.op) << ")";
    }
}

} // namespace
} // namespace pw::test
