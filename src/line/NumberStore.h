#pragma once
#include "line/SerialField.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace pw {

// Why a pool could not be used: a request it refuses (a range, a pool that exists or does not),
// or what it was to keep that it could not (a journal not written, no number left). Empty
// text: nothing wrong.
enum class PoolFault { Refused, NotKept };
struct PoolProblem {
    std::string text;
    PoolFault fault = PoolFault::NotKept;
    explicit operator bool() const { return !text.empty(); }
};

// The largest number a pool issues: JSON and the database carry numbers as signed 64 bits.
constexpr std::uint64_t kLargestPoolNumber = 9223372036854775807u;

// What is wrong with a new pool's range; nothing when it is fine.
PoolProblem rangeProblem(const PoolRange& range);
// What a pool says when it is not there, or has no number left.
PoolProblem poolMissing(const std::string& where);
PoolProblem poolUsedUp(const std::string& where);

// One number a pool issued and what became of it.
struct PoolNumber {
    enum class State { Reserved, Used, Void };
    State state = State::Reserved;
    std::string port;
    std::string time;   // of the last event
    std::string why;    // void: the board's result, or that its process ended
    std::string record; // used: FILE:LINE of the station's record, when there was one
    std::string host;   // reserved: the process that holds it
    std::int64_t pid = 0;
    std::uint64_t pidStart = 0;
};

struct PoolState {
    PoolRange range;
    std::uint64_t next = 0;
    bool overflowed = false; // next would pass the largest number a journal holds
    std::map<std::uint64_t, PoolNumber> numbers;
    // Whether `next` may still be issued, to a field that holds numbers up to `largest`.
    bool hasNext(std::uint64_t largest) const;
};

// Where a line's serial numbers come from. A number that was ever reserved is never issued
// again, whatever became of it.
class NumberStore {
public:
    virtual ~NumberStore() = default;
    // The next number, at most `largest`, reserved for a board on `port`, kept before it returns.
    virtual PoolProblem reserve(const std::string& port, std::uint64_t largest, std::uint64_t& number) = 0;
    // Whether the next number is at most `largest` and within the range.
    virtual PoolProblem checkNext(std::uint64_t largest) = 0;
    // A reserved number's outcome: used (record: where its record is, if anywhere) or void.
    virtual PoolProblem settle(std::uint64_t number, bool used, const std::string& why, const std::string& record) = 0;
    // The range, the next number and every number issued, as of now.
    virtual PoolProblem readState(PoolState& state) = 0;
};

// The pool `where` names: a journal file, or db:NAME in the line's database (`database`: its
// connection string). Opening voids the reservations of stations that ended without an outcome.
std::unique_ptr<NumberStore> openNumberStore(const std::string& where, const std::string& database,
                                             PoolProblem& problem);
// Makes a new pool; refuses one that exists.
PoolProblem createNumberStore(const std::string& where, const std::string& database, const PoolRange& range);

} // namespace pw
