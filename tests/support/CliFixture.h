#pragma once
// pagewise-cli as a child process in a folder of the test's own, lines of boards for it to
// program, and readers for what it writes.
#include "support/ChildProcess.h"
#include "support/Files.h"
#include "support/ScopedEnv.h"
#include "support/SimHarness.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sstream>

namespace pw::test {

// 0x808 bytes of 0x11 and a tail: room for a serial field lies right past its end.
inline const std::string kImage = std::string(0x800, '\x11') + "12345678";

inline QJsonObject jsonObject(const std::string& line)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
}

class CliFixture : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir.file(name); }
    std::string write(const std::string& name, const std::string& bytes) const { return writeFile(path(name), bytes); }
    // pagewise-cli with `args`, and the line's database where one is named.
    ChildResult cli(std::vector<std::string> args, const std::string& database = "") const
    {
        if (!database.empty())
            args.insert(args.end(), {"--database", database});
        return ChildProcess(cliProgram(), args).wait();
    }
    // Makes a serial pool with `serials init`; a failure ends the test (ASSERT_NO_FATAL_FAILURE).
    void makePool(const std::string& pool, std::uint64_t start, std::uint64_t step = 1,
                  const std::string& database = "") const
    {
        const ChildResult made =
            cli({"serials", "init", pool, "--start", std::to_string(start), "--step", std::to_string(step)}, database);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }
    QJsonObject showPool(const std::string& pool, const std::string& database = "") const
    {
        const ChildResult shown = cli({"serials", "show", pool, "--json"}, database);
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        return jsonObject(shown.out);
    }

    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.file("config")}; // the developer's own settings stay out
};

// `boards` boards in turn, each swapped for the next in `swapMs`; the faults play on board
// `faultyBoard` (0: on every board), which stays `stayMs` after its run.
inline sim::SimOptions boardLine(std::uint32_t boards, std::uint32_t swapMs, std::vector<sim::Fault> faults = {},
                                 std::uint32_t faultyBoard = 0, std::uint32_t stayMs = 0)
{
    sim::SimOptions options = SimHarness::withFaults(std::move(faults));
    options.boards = boards;
    options.swapMinMs = options.swapMaxMs = swapMs;
    options.faultyBoard = faultyBoard;
    options.stayMs = stayMs;
    return options;
}

inline std::vector<QJsonObject> jsonLines(const std::string& text)
{
    std::vector<QJsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        objects.push_back(jsonObject(line));
    return objects;
}

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

inline std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

inline std::uint64_t u32leAt(const sim::FlashBytes& flash, std::size_t at)
{
    return flash[at] | flash[at + 1] << 8 | flash[at + 2] << 16 | std::uint64_t{flash[at + 3]} << 24;
}

} // namespace pw::test
