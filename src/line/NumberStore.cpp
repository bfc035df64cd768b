#include "line/NumberStore.h"

#include "line/DatabasePool.h"
#include "line/SerialPool.h"
#include "line/StoreName.h"

namespace pw {

PoolProblem rangeProblem(const PoolRange& range)
{
    if (range.start > kLargestPoolNumber || (range.end && *range.end > kLargestPoolNumber))
        return {"serial numbers go up to " + std::to_string(kLargestPoolNumber), PoolFault::Refused};
    if (range.step == 0 || (range.end && *range.end < range.start))
        return {"a pool needs --step of 1 or more and --end at or above --start", PoolFault::Refused};
    return {};
}

PoolProblem poolMissing(const std::string& where)
{
    return {"serial pool " + where + " does not exist; create it with: pagewise-cli serials init " + where +
                " --start N",
            PoolFault::Refused};
}

PoolProblem poolUsedUp(const std::string& where)
{
    return {"serial pool " + where + " is used up", PoolFault::NotKept};
}

bool PoolState::hasNext(std::uint64_t largest) const
{
    return !overflowed && next <= largest && next <= kLargestPoolNumber && (!range.end || next <= *range.end);
}

std::unique_ptr<NumberStore> openNumberStore(const std::string& where, const std::string& database,
                                             PoolProblem& problem)
{
    if (const auto name = databaseName(where)) {
        auto pool = std::make_unique<DatabasePool>();
        problem = pool->open(database, *name);
        return problem ? nullptr : std::move(pool);
    }
    auto pool = std::make_unique<SerialPool>();
    problem = pool->open(where);
    return problem ? nullptr : std::move(pool);
}

PoolProblem createNumberStore(const std::string& where, const std::string& database, const PoolRange& range)
{
    if (const auto name = databaseName(where))
        return DatabasePool::create(database, *name, range);
    return SerialPool::create(where, range);
}

} // namespace pw
