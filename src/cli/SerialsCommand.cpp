#include "cli/SerialsCommand.h"

#include "line/JsonWriter.h"
#include "line/RunPreparation.h"
#include "line/NumberStore.h"

#include <QJsonArray>

#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

namespace pw::cli {

namespace {

using NumberRun = std::pair<std::uint64_t, std::uint64_t>; // first and last, inclusive

// The numbers below next that are on no passed board (void, or reserved without an outcome),
// as runs of consecutive numbers.
std::vector<NumberRun> gapsOf(const PoolState& state)
{
    std::vector<NumberRun> gaps;
    for (const auto& [serial, number] : state.numbers) {
        if (number.state == PoolNumber::State::Used)
            continue;
        if (!gaps.empty() && gaps.back().second + state.range.step == serial)
            gaps.back().second = serial;
        else
            gaps.emplace_back(serial, serial);
    }
    return gaps;
}

const char* stateName(PoolNumber::State state)
{
    switch (state) {
    case PoolNumber::State::Reserved: return "reserved";
    case PoolNumber::State::Used: return "used";
    case PoolNumber::State::Void: return "void";
    }
    return "";
}

void printJson(const std::string& path, const PoolState& state)
{
    QJsonArray used;
    QJsonArray voided;
    QJsonArray reserved;
    QJsonArray numbers;
    for (const auto& [serial, number] : state.numbers) {
        const auto value = static_cast<qint64>(serial);
        (number.state == PoolNumber::State::Used   ? used
         : number.state == PoolNumber::State::Void ? voided
                                                   : reserved)
            .append(value);
        numbers.append(QJsonObject{{"serial", value},
                                   {"state", stateName(number.state)},
                                   {"port", jsonText(number.port)},
                                   {"time", jsonText(number.time)},
                                   {"host", jsonTextOrNull(number.host)},
                                   {"why", jsonTextOrNull(number.why)},
                                   {"record", jsonTextOrNull(number.record)}});
    }
    QJsonArray gaps;
    for (const auto& [first, last] : gapsOf(state))
        gaps.append(QJsonArray{static_cast<qint64>(first), static_cast<qint64>(last)});
    const QJsonObject object{
        {"pool", jsonText(path)},
        {"start", static_cast<qint64>(state.range.start)},
        {"step", static_cast<qint64>(state.range.step)},
        {"end", state.range.end ? QJsonValue(static_cast<qint64>(*state.range.end)) : QJsonValue()},
        {"next", state.hasNext(std::numeric_limits<std::uint64_t>::max()) ? QJsonValue(static_cast<qint64>(state.next))
                                                                          : QJsonValue()},
        {"used", used},
        {"void", voided},
        {"reserved", reserved},
        {"gaps", gaps},
        {"numbers", numbers}};
    std::printf("%s\n", jsonLine(object).c_str());
}

std::string runText(const NumberRun& run)
{
    return run.first == run.second ? std::to_string(run.first)
                                   : std::to_string(run.first) + "-" + std::to_string(run.second);
}

void printNumbers(const PoolState& state, PoolNumber::State which, const char* heading)
{
    std::size_t count = 0;
    for (const auto& entry : state.numbers)
        count += entry.second.state == which ? 1 : 0;
    std::printf("%s: %zu\n", heading, count);
    for (const auto& [serial, number] : state.numbers) {
        if (number.state != which)
            continue;
        const std::string& detail = which == PoolNumber::State::Used   ? number.record
                                    : which == PoolNumber::State::Void ? number.why
                                                                       : number.host;
        std::printf("  %-12llu %-20s %-25s %s\n", static_cast<unsigned long long>(serial), number.port.c_str(),
                    number.time.c_str(), detail.c_str());
    }
}

void printText(const std::string& path, const PoolState& state)
{
    std::printf("serial pool %s: from %llu, step %llu, ", path.c_str(),
                static_cast<unsigned long long>(state.range.start), static_cast<unsigned long long>(state.range.step));
    if (state.range.end)
        std::printf("up to %llu\n", static_cast<unsigned long long>(*state.range.end));
    else
        std::printf("no end\n");
    if (!state.hasNext(std::numeric_limits<std::uint64_t>::max()))
        std::printf("next: none, the pool is used up\n");
    else
        std::printf("next: %llu\n", static_cast<unsigned long long>(state.next));
    printNumbers(state, PoolNumber::State::Used, "used (port, time, record)");
    printNumbers(state, PoolNumber::State::Void, "void (port, time, why)");
    printNumbers(state, PoolNumber::State::Reserved, "reserved, outcome not known yet (port, time, host)");
    std::string gaps;
    for (const NumberRun& run : gapsOf(state))
        gaps += (gaps.empty() ? "" : ", ") + runText(run);
    std::printf("gaps: %s\n", gaps.empty() ? "none" : gaps.c_str());
}

} // namespace

int runSerialsCommand(const CliOptions& options)
{
    const std::string& path = options.setup.serialPool;
    const std::string& database = options.setup.database;
    if (options.serialsAction == SerialsAction::Init) {
        if (const PoolProblem problem = createNumberStore(path, database, options.poolRange)) {
            std::fprintf(stderr, "pagewise-cli: %s\n", problem.text.c_str());
            return poolRefusal(problem).exitCode;
        }
        std::printf("serial pool %s created; its first number is %llu\n", path.c_str(),
                    static_cast<unsigned long long>(options.poolRange.start));
        return ExitSuccess;
    }
    PoolProblem problem;
    PoolState state;
    const std::unique_ptr<NumberStore> pool = openNumberStore(path, database, problem);
    if (pool && !problem)
        problem = pool->readState(state);
    if (problem) {
        std::fprintf(stderr, "pagewise-cli: %s\n", problem.text.c_str());
        return poolRefusal(problem).exitCode;
    }
    if (options.json)
        printJson(path, state);
    else
        printText(path, state);
    return ExitSuccess;
}

} // namespace pw::cli
