// What a board's serial number and record cost: its reservation, its record and its outcome,
// one board after another and with several ports at once, in the file journal and record file
// (each change under a lock and fsync'd) and in a PostgreSQL database (each one commit) on a
// server of the bench's own, started in the same folder, beside each other in one run.
//   bench_serial_pool [folder] [boards]   (default: a new folder in the current one, 200)
// The folder must lie on the disk the line would use: on tmpfs, fsync costs nothing.
#include "line/NumberStore.h"
#include "line/RecordStore.h"
#include "support/PgServer.h"

#include <QJsonObject>

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

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_serial_pool: %s\n", what.c_str());
    std::exit(1);
}

QJsonObject recordOf(const std::string& run, const std::string& port, unsigned board, std::uint64_t serial)
{
    const std::string id = run + ":" + port + ":" + std::to_string(board) + ":1";
    return {{"v", 2},
            {"record_id", QString::fromStdString(id)},
            {"start_id", "bench"},
            {"time", "2026-12-09T10:00:00.000Z"},
            {"port", QString::fromStdString(port)},
            {"board", static_cast<int>(board)},
            {"attempt", 1},
            {"result", "success"},
            {"serial", static_cast<qint64>(serial)}};
}

// Each port takes `boards` numbers: reserve, keep the record, settle as used. Returns each
// board's milliseconds.
std::vector<double> draw(const std::string& pool, const std::string& records, const std::string& database,
                         unsigned ports, unsigned boards)
{
    pw::PoolProblem problem;
    const std::unique_ptr<pw::NumberStore> numbers = pw::openNumberStore(pool, database, problem);
    std::string failure;
    const std::unique_ptr<pw::RecordStore> store = pw::openRecordStore(records, database, failure);
    if (!numbers || !store)
        fail(problem.text + failure);
    std::vector<std::vector<double>> perPort(ports);
    std::vector<std::thread> threads;
    for (unsigned port = 0; port < ports; ++port)
        threads.emplace_back([&, port] {
            const std::string name = "port" + std::to_string(port);
            for (unsigned board = 1; board <= boards; ++board) {
                const auto began = Clock::now();
                std::uint64_t number = 0;
                std::string where;
                pw::PoolProblem drawn = numbers->reserve(name, std::numeric_limits<std::uint64_t>::max(), number);
                const std::string kept =
                    drawn ? std::string() : store->keep(recordOf(records, name, board, number), where);
                if (!drawn && kept.empty())
                    drawn = numbers->settle(number, true, "", where);
                if (drawn || !kept.empty())
                    fail(drawn.text + kept);
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
    folder = std::filesystem::canonical(folder).string();
    pw::test::PgServer server(folder, true);
    if (!server.problem().empty())
        fail(server.problem());
    server.setUpTables();
    std::printf("in %s, %u boards per port; per board: reserve, record, used\n", folder.c_str(), boards);
    std::printf("%-9s %-6s %10s %10s %10s %12s\n", "store", "ports", "p50 ms", "p95 ms", "max ms", "boards/s");
    for (const unsigned ports : {1u, 4u, 8u})
        for (const bool inDatabase : {false, true}) {
            const std::string name = "pool-" + std::to_string(ports);
            const std::string pool = inDatabase ? "db:" + name : folder + "/" + name + ".jsonl";
            const std::string records = inDatabase ? "db:" + name : folder + "/" + name + "-records.jsonl";
            if (!inDatabase) {
                std::filesystem::remove(pool);
                std::filesystem::remove(records);
            }
            const std::string admin = server.conninfo("admin");
            if (const pw::PoolProblem made = pw::createNumberStore(pool, admin, {1, 1, std::nullopt}))
                fail(made.text);
            const auto began = Clock::now();
            const std::vector<double> times = draw(pool, records, server.conninfo(), ports, boards);
            const double seconds = msSince(began) / 1000;
            std::printf("%-9s %-6u %10.2f %10.2f %10.2f %12.0f\n", inDatabase ? "database" : "file", ports,
                        percentile(times, 0.5), percentile(times, 0.95), percentile(times, 1.0),
                        static_cast<double>(times.size()) / seconds);
        }
    if (ownFolder)
        std::filesystem::remove_all(folder);
    return 0;
}
