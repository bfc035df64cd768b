#pragma once
#include <cstdint>
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
};

} // namespace pw
