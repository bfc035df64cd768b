#pragma once
#include "line/Database.h"
#include "line/NumberStore.h"

#include <mutex>
#include <string>

namespace pw {

// A serial pool in the line's database, shared by every station on every PC. Reserving is one
// transaction; the pool's row lock orders stations drawing at once, and the key (pool, number)
// refuses a number issued twice. Each connection holds an advisory lock of its own while it
// lives: a reservation whose lock is free belongs to a station that is gone, and becomes void.
class DatabasePool : public NumberStore {
public:
    // Adds a new pool; refuses one that exists.
    static PoolProblem create(const std::string& conninfo, const std::string& name, const PoolRange& range);

    // Connects and voids the reservations of stations whose sessions have ended.
    PoolProblem open(const std::string& conninfo, const std::string& name);
    PoolProblem reserve(const std::string& port, std::uint64_t largest, std::uint64_t& number) override;
    PoolProblem checkNext(std::uint64_t largest) override;
    PoolProblem settle(std::uint64_t number, bool used, const std::string& why, const std::string& record) override;
    PoolProblem readState(PoolState& state) override;

private:
    PoolProblem failure(const std::string& text) const;
    PoolProblem voidEnded();

    Database db_;
    std::string name_;
    std::string sessionKey_ = "0";
    std::mutex mutex_; // the stations of one process share the connection
};

} // namespace pw
