#pragma once
#include "line/NumberStore.h"
#include "line/SerialField.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

namespace pw {

// A serial pool: an append-only journal of JSON lines shared by every port and process on the
// machine. Every change takes the file's lock, reads what others appended, appends one line and
// is on disk before the lock is let go; a number that was ever reserved is never issued again.
class SerialPool : public NumberStore {
public:
    // Writes a new pool; refuses one that exists.
    static PoolProblem create(const std::string& path, const PoolRange& range);

    SerialPool() = default;
    ~SerialPool() override;
    SerialPool(const SerialPool&) = delete;
    SerialPool& operator=(const SerialPool&) = delete;

    // Opens an existing pool and voids the reservations of processes that ended without an
    // outcome.
    PoolProblem open(const std::string& path);
    PoolProblem reserve(const std::string& port, std::uint64_t largest, std::uint64_t& number) override;
    PoolProblem checkNext(std::uint64_t largest) override;
    PoolProblem settle(std::uint64_t number, bool used, const std::string& why, const std::string& record) override;
    PoolProblem readState(PoolState& state) override;
    PoolState state();
    const std::string& path() const { return path_; }

private:
    // Runs `work` with the journal locked and read up to date (the caller holds mutex_).
    PoolProblem whileLocked(const std::function<PoolProblem()>& work);
    PoolProblem reserveNext(const std::string& port, std::uint64_t largest, std::uint64_t& number);
    PoolProblem refresh();
    PoolProblem applyLine(const std::string& line);
    PoolProblem voidEnded();
    PoolProblem appendEvent(const std::string& line);
    PoolProblem usedUp(std::uint64_t largest) const;
    PoolProblem failure(const std::string& what) const;

    int fd_ = -1;
    std::string path_;
    std::uint64_t readBytes_ = 0; // the journal's bytes applied so far
    std::uint64_t lines_ = 0;
    PoolState state_;
    bool headed_ = false;
    std::set<std::uint64_t> pending_; // reserved, no outcome yet
    std::mutex mutex_;
};

} // namespace pw
