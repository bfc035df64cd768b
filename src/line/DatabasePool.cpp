#include "line/DatabasePool.h"

#include "line/DatabaseSchema.h"

#include <QString>
#include <QSysInfo>

#include <algorithm>
#include <unistd.h>

namespace pw {

namespace {

constexpr const char* kSessionEndedWhy = "its station's database session ended before the board's outcome";

// Takes the next number and writes its reservation in one statement: the pool's row stays
// locked until it commits, so stations drawing at once are served one after another.
constexpr const char* kReserve = R"sql(
WITH old AS (SELECT next_number FROM pagewise.pool WHERE name = $1 FOR UPDATE),
taken AS (
    UPDATE pagewise.pool AS p
    SET next_number = CASE WHEN old.next_number > 9223372036854775807 - p.step THEN NULL
                           ELSE old.next_number + p.step END
    FROM old
    WHERE p.name = $1 AND old.next_number IS NOT NULL AND old.next_number <= $2::bigint
      AND (p.last_number IS NULL OR old.next_number <= p.last_number)
    RETURNING old.next_number AS number)
INSERT INTO pagewise.serial_number (pool, number, state, port, host, pid, session_key)
SELECT $1, number, 'reserved', $3, $4, $5, $6 FROM taken
RETURNING number)sql";

// A free advisory lock means its session has ended. The CASE keeps this session's own key
// from being tried: a session may take its own lock again, and would void its live numbers.
constexpr const char* kVoidEnded = R"sql(
UPDATE pagewise.serial_number SET state = 'void', why = $3, settled_at = now()
WHERE pool = $1 AND state = 'reserved'
  AND CASE WHEN session_key = $2::integer THEN false
           ELSE pg_try_advisory_xact_lock(1347878913, session_key) END)sql";

constexpr const char* kSettle = R"sql(
UPDATE pagewise.serial_number SET state = $3, why = $4, record = $5, settled_at = now()
WHERE pool = $1 AND number = $2::bigint AND state = 'reserved')sql";

constexpr const char* kPoolRow =
    "SELECT first_number, step, last_number, next_number FROM pagewise.pool WHERE name = $1";

constexpr const char* kNumbers = R"sql(
SELECT number, state, port, host, pid, why, record,
       to_char(COALESCE(settled_at, reserved_at) AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.MS"Z"')
FROM pagewise.serial_number WHERE pool = $1 ORDER BY number)sql";

std::string numberText(std::uint64_t number)
{
    return std::to_string(std::min(number, kLargestPoolNumber));
}

PoolNumber::State stateNamed(const std::string& name)
{
    return name == "used"   ? PoolNumber::State::Used
           : name == "void" ? PoolNumber::State::Void
                            : PoolNumber::State::Reserved;
}

// The range and the next number, from the pool's row (kPoolRow).
void readRange(const DbResult& pool, PoolState& state)
{
    state.range.start = static_cast<std::uint64_t>(pool.number(0, 0).value_or(0));
    state.range.step = static_cast<std::uint64_t>(pool.number(0, 1).value_or(1));
    if (const auto last = pool.number(0, 2))
        state.range.end = static_cast<std::uint64_t>(*last);
    const auto next = pool.number(0, 3);
    state.overflowed = !next;
    state.next = static_cast<std::uint64_t>(next.value_or(0));
}

} // namespace

PoolProblem DatabasePool::failure(const std::string& text) const
{
    return {"serial pool db:" + name_ + ": " + text, PoolFault::NotKept};
}

PoolProblem DatabasePool::create(const std::string& conninfo, const std::string& name, const PoolRange& range)
{
    if (PoolProblem problem = rangeProblem(range))
        return problem;
    DatabasePool pool;
    pool.name_ = name;
    if (std::string problem = pool.db_.connect(conninfo); !problem.empty())
        return pool.failure(problem);
    if (std::string problem = schemaProblem(pool.db_); !problem.empty())
        return pool.failure(problem);
    std::string problem;
    const DbResult made = pool.db_.run("INSERT INTO pagewise.pool (name, first_number, step, last_number, next_number)"
                                       " VALUES ($1, $2::bigint, $3::bigint, $4::bigint, $2::bigint)"
                                       " ON CONFLICT (name) DO NOTHING RETURNING name",
                                       {name, numberText(range.start), numberText(range.step),
                                        range.end ? std::optional(numberText(*range.end)) : std::nullopt},
                                       problem);
    if (!problem.empty())
        return pool.failure(problem);
    if (made.rows() == 0)
        return {"serial pool db:" + name + " exists already; a pool is never overwritten", PoolFault::Refused};
    return {};
}

PoolProblem DatabasePool::open(const std::string& conninfo, const std::string& name)
{
    std::lock_guard guard(mutex_);
    name_ = name;
    if (std::string problem = db_.connect(conninfo); !problem.empty())
        return failure(problem);
    if (std::string problem = schemaProblem(db_); !problem.empty())
        return failure(problem);
    std::string problem;
    if (db_.run(kPoolRow, {name_}, problem).rows() == 0)
        return problem.empty() ? poolMissing("db:" + name_) : failure(problem);
    const DbResult key = db_.run("SELECT nextval('pagewise.session_key')", {}, problem);
    if (problem.empty()) {
        sessionKey_ = key.text(0, 0);
        db_.run("SELECT pg_advisory_lock(1347878913, $1::integer)", {sessionKey_}, problem);
    }
    if (!problem.empty())
        return failure(problem);
    return voidEnded();
}

PoolProblem DatabasePool::voidEnded()
{
    std::string problem;
    db_.run(kVoidEnded, {name_, sessionKey_, kSessionEndedWhy}, problem);
    return problem.empty() ? PoolProblem{} : failure(problem);
}

PoolProblem DatabasePool::reserve(const std::string& port, std::uint64_t largest, std::uint64_t& number)
{
    static const std::string host = QSysInfo::machineHostName().toStdString();
    std::lock_guard guard(mutex_);
    std::string problem;
    const DbResult taken =
        db_.run(kReserve, {name_, numberText(largest), port, host, std::to_string(::getpid()), sessionKey_}, problem);
    if (!problem.empty())
        return failure(problem);
    if (taken.rows() == 0)
        return poolUsedUp("db:" + name_);
    number = static_cast<std::uint64_t>(*taken.number(0, 0));
    return {};
}

PoolProblem DatabasePool::checkNext(std::uint64_t largest)
{
    std::lock_guard guard(mutex_);
    std::string problem;
    const DbResult pool = db_.run(kPoolRow, {name_}, problem);
    if (!problem.empty())
        return failure(problem);
    if (pool.rows() == 0)
        return poolMissing("db:" + name_);
    PoolState state;
    readRange(pool, state);
    return state.hasNext(largest) ? PoolProblem{} : poolUsedUp("db:" + name_);
}

PoolProblem DatabasePool::settle(std::uint64_t number, bool used, const std::string& why, const std::string& record)
{
    std::lock_guard guard(mutex_);
    std::string problem;
    const DbResult settled =
        db_.run(kSettle, {name_, numberText(number), used ? "used" : "void", why, record}, problem);
    if (!problem.empty())
        return failure(problem);
    if (settled.changed() == 0)
        return failure("number " + std::to_string(number) + " is not reserved, so its outcome was not written");
    return {};
}

// The pool's row and its numbers as one snapshot.
PoolProblem DatabasePool::readState(PoolState& state)
{
    std::lock_guard guard(mutex_);
    std::string problem = db_.script("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const DbResult pool = problem.empty() ? db_.run(kPoolRow, {name_}, problem) : DbResult();
    const DbResult numbers = problem.empty() ? db_.run(kNumbers, {name_}, problem) : DbResult();
    const std::string ended = db_.script(problem.empty() ? "COMMIT" : "ROLLBACK");
    if (problem.empty())
        problem = ended;
    if (!problem.empty())
        return failure(problem);
    if (pool.rows() == 0)
        return poolMissing("db:" + name_);
    state = {};
    readRange(pool, state);
    for (int row = 0; row < numbers.rows(); ++row) {
        PoolNumber& number = state.numbers[static_cast<std::uint64_t>(numbers.number(row, 0).value_or(0))];
        number.state = stateNamed(numbers.text(row, 1));
        number.port = numbers.text(row, 2);
        number.host = numbers.text(row, 3);
        number.pid = numbers.number(row, 4).value_or(0);
        number.why = numbers.text(row, 5);
        number.record = numbers.text(row, 6);
        number.time = numbers.text(row, 7);
    }
    return {};
}

} // namespace pw
