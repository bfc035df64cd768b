// pagewise-cli station as a production line runs it: a child process against simulated lines
// of boards that come and go.
#include "support/CliFixture.h"
#include "support/Tables.h"
#include "support/WireFrames.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

namespace pw::test {
namespace {

using Kind = sim::Fault::Kind;

class StationFixture : public CliFixture {
protected:
    std::vector<std::string> stationArgs(const SimHarness& target, std::vector<std::string> extra) const
    {
        std::vector<std::string> args = {"-q", "--port", target.slavePath(), "--baud", "9600"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), {"station", "program", write("fw.bin", kImage)});
        return args;
    }
};

struct LineRow {
    const char* name;
    sim::SimOptions line;
    std::vector<std::string> extra;  // options before the command
    std::vector<std::string> ends;   // "PASS 1", "FAIL 2": each board's line, in order
    std::vector<int> attempts;       // each record's attempt
    const char* said = "";           // a message said exactly once (empty: none)
    const char* failure = "timeout"; // the result of a FAIL's record
};
using pw::test::PrintTo;

class StationLine : public StationFixture, public ::testing::WithParamInterface<LineRow> {};

// Every board that arrives is run once, whatever the swap, and has one record; a board that
// stays after a failure is never taken for the next one.
TEST_P(StationLine, RunsEachBoardOnceAndRecordsIt)
{
    const LineRow& row = GetParam();
    SimHarness target(row.line);
    std::vector<std::string> extra = row.extra;
    extra.insert(extra.end(), {"--record", path("boards.jsonl")});
    ChildProcess station(cliProgram(), stationArgs(target, extra));
    for (const std::string& expected : row.ends) {
        const std::string line = station.readLine(std::chrono::seconds(60));
        const std::string verdict = expected.substr(0, 4), board = expected.substr(5);
        EXPECT_TRUE(line.starts_with(verdict + " " + target.slavePath() + " board " + board + " ")) << line;
    }
    station.signal(SIGINT);
    const ChildResult run = station.wait();
    const bool failed = std::ranges::any_of(row.ends, [](const std::string& e) { return e.starts_with("FAIL"); });
    EXPECT_EQ(run.exitCode, failed ? 1 : 0) << run.err;
    EXPECT_EQ(count(run.out, " board "), row.ends.size()) << "a board was run twice:\n" << run.out;
    EXPECT_EQ(count(run.err, "waiting for board 1 on "), 1u) << run.err;
    if (*row.said) {
        EXPECT_EQ(count(run.err, row.said + target.slavePath()), 1u) << run.err;
    }
    // Each PASS is the next board on the line, not a board that stayed run again.
    const std::vector<sim::FlashBytes> boards = target.sim().boardFlashes();
    ASSERT_GE(boards.size(), row.ends.size());
    for (std::size_t k = 0; k < row.ends.size(); ++k) {
        if (row.ends[k].starts_with("PASS")) {
            EXPECT_EQ(boards[k][0], 0x11) << "board " << k + 1 << " was not programmed";
        }
    }

    const std::vector<QJsonObject> records = jsonLines(fileText(path("boards.jsonl")));
    ASSERT_EQ(records.size(), row.ends.size());
    const QString sha = QCryptographicHash::hash(QByteArray::fromStdString(kImage), QCryptographicHash::Sha256).toHex();
    for (std::size_t k = 0; k < records.size(); ++k) {
        const QJsonObject& record = records[k];
        const bool passed = row.ends[k].starts_with("PASS");
        EXPECT_EQ(record.value("v").toInt(), 2);
        EXPECT_EQ(record.value("board").toInt(), static_cast<int>(k + 1));
        EXPECT_EQ(record.value("attempt").toInt(), row.attempts[k]);
        EXPECT_EQ(record.value("start_id"), records[0].value("start_id"));
        EXPECT_EQ(record.value("image_sha256").toString(), sha);
        EXPECT_EQ(record.value("result").toString(), passed ? "success" : row.failure);
        EXPECT_EQ(record.value("error_class").toString(), passed ? "" : "target");
        EXPECT_EQ(record.value("phases").toObject().contains("program"), passed);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lines, StationLine, ::testing::Values(
    LineRow{"swap_200ms", boardLine(3, 200), {}, {"PASS 1", "PASS 2", "PASS 3"}, {1, 1, 1}},
    LineRow{"swap_1s", boardLine(2, 1000), {}, {"PASS 1", "PASS 2"}, {1, 1}},
    LineRow{"swap_3s", boardLine(2, 3000), {}, {"PASS 1", "PASS 2"}, {1, 1}},
    LineRow{"dead_board_between_two", boardLine(3, 300, {{Kind::SilentAfter, 20}}, 2), {},
        {"PASS 1", "FAIL 2", "PASS 3"}, {1, 1, 1}},
    LineRow{"dead_board_after_the_rate_switch", boardLine(3, 300, {{Kind::SilentAfter, 15}}, 2),
        {"--baud", "115200"}, {"PASS 1", "FAIL 2", "PASS 3"}, {1, 1, 1}},
    LineRow{"board_stays_after_failure", boardLine(3, 300, {{Kind::Corrupt, 2}}, 2, 1500), {},
        {"PASS 1", "FAIL 2", "PASS 3"}, {1, 1, 1}, "remove board 2 from "},
    LineRow{"wrong_connect_reply_between_two", boardLine(3, 300, {{Kind::WrongConnect, 0}}, 2, 1500),
        {"--retries", "2"}, {"PASS 1", "FAIL 2", "PASS 3"}, {1, 1, 1}, "remove board 2 from ", "wrong-reply"},
    LineRow{"retry_passes_on_the_second_attempt", boardLine(2, 300, {{Kind::Corrupt, 2}}, 1, 5000),
        {"--retries", "2"}, {"PASS 1", "PASS 2"}, {2, 1}}
), rowName);
// clang-format on

using StationStops = StationFixture;

// Two stations side by side: the first record that cannot be written stops both at once, each
// after the board it is on, naming the board whose record is missing.
TEST_F(StationStops, WhenItsRecordCannotBeKept)
{
    SimHarness first(boardLine(3, 200)), second(boardLine(3, 200));
    std::vector<std::string> args = stationArgs(first, {"--record", "/dev/full"});
    args.insert(args.begin(), {"--port", second.slavePath()});
    const ChildResult run = cli(args);
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_GE(count(run.err, "the record of board 1 on "), 1u) << run.err;
    EXPECT_EQ(count(run.err, "the record of board 2 "), 0u) << run.err;
    for (const SimHarness* target : {&first, &second}) {
        const std::vector<std::string> frames = target->programFrames();
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back(), kLeaveFrame) << "a frame went out after the lost record";
        EXPECT_EQ(std::ranges::count(frames, kLeaveFrame), 1);
        EXPECT_EQ(count(run.out, target->slavePath() + ": 1 passed, 0 failed, "), 1u) << run.out;
    }
}

// The hooks see the port, the board, its result and the record it is to get. A board gets one
// verdict: a failing before-board hook means it is not run, a failing after-board hook makes
// it FAIL; either way one record, and the totals count boards.
TEST_F(StationStops, AFailingHookIsTheBoardsOneVerdict)
{
    SimHarness target(boardLine(3, 200));
    const std::string log = path("hooks.txt");
    const std::string before = "echo \"before $PAGEWISE_BOARD\" >> " + log + "; [ $PAGEWISE_BOARD != 2 ] || exit 4";
    const std::string after = "echo \"after $PAGEWISE_PORT $PAGEWISE_BOARD $PAGEWISE_RESULT $PAGEWISE_RECORD\" >> " +
                              log + "; [ $PAGEWISE_BOARD != 3 ] || { echo lamp broken; exit 3; }";
    ChildProcess station(cliProgram(), stationArgs(target, {"--before-board", before, "--after-board", after,
                                                            "--record", path("boards.jsonl")}));
    for (const char* expected : {"PASS ", "FAIL ", "FAIL "})
        EXPECT_TRUE(station.readLine(std::chrono::seconds(60)).starts_with(expected));
    station.signal(SIGINT);
    const ChildResult run = station.wait();
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_EQ(count(run.out, " board "), 3u) << run.out;
    EXPECT_EQ(count(run.out, ": 1 passed, 2 failed, "), 1u) << run.out;
    std::vector<std::string> records;
    std::istringstream lines(fileText(path("boards.jsonl")));
    for (std::string line; std::getline(lines, line);)
        records.push_back(line);
    ASSERT_EQ(records.size(), 3u);
    const std::string port = target.slavePath();
    EXPECT_TRUE(fileText(log).starts_with("before 1\nafter " + port + " 1 success " + records[0] +
                                          "\nbefore 2\nbefore 3\nafter " + port + " 3 success {"))
        << fileText(log);
    const std::vector<std::tuple<int, const char*, const char*, const char*>> failures = {
        {2, "before-board", "exit 4", ""}, {3, "after-board", "exit 3", "lamp broken\n"}};
    for (const auto& [board, hook, status, output] : failures) {
        const QJsonObject failed = jsonObject(records[static_cast<std::size_t>(board - 1)]);
        EXPECT_EQ(failed.value("board").toInt(), board);
        EXPECT_EQ(failed.value("result").toString(), "hook-error");
        EXPECT_EQ(failed.value("hook").toString(), hook);
        EXPECT_EQ(failed.value("hook_status").toString(), status);
        EXPECT_EQ(failed.value("hook_output").toString(), output);
    }
    const std::vector<sim::FlashBytes> boards = target.sim().boardFlashes();
    ASSERT_GE(boards.size(), 3u);
    EXPECT_TRUE(std::ranges::all_of(boards[1], [](std::uint8_t b) { return b == 0xFF; }))
        << "the board whose before-board hook failed was run";
    EXPECT_EQ(boards[2][0], 0x11);
}

// An adapter pulled from a station and plugged back at the same path: the station says every
// 8 s that it waits for it, and programs the next board once it is back. With --events the
// run begins with its start.
TEST_F(StationStops, APulledAdapterIsWaitedForAndTheLineGoesOn)
{
    const std::string link = path("ttyADAPTER");
    auto first = std::make_unique<SimHarness>(boardLine(1, 200));
    pointLink(link, first->slavePath());
    ChildProcess station(cliProgram(),
                         {"--events", "--port", link, "--baud", "9600", "station", "program", write("fw.bin", kImage)});
    const auto nextEvent = [&](const char* name) {
        for (;;) {
            const std::string text = station.readLine(std::chrono::seconds(30));
            const QJsonObject event = jsonObject(text);
            if (text.empty() || event.value("event").toString() == name)
                return event;
        }
    };
    EXPECT_EQ(nextEvent("start").value("operation").toString(), "station");
    EXPECT_EQ(nextEvent("board").value("result").toString(), "success");
    // Pulled: its link goes first, as a by-id link does, so that the terminal's number, free
    // again, cannot lead to another test's line.
    std::filesystem::remove(link);
    first.reset();

    QJsonObject gone; // the wait for board 2 may come first
    do
        gone = nextEvent("waiting");
    while (!gone.isEmpty() && gone.value("for").toString() != "port");
    EXPECT_EQ(gone.value("text").toString().toStdString(), "waiting for " + link + " to come back");
    const auto quietFrom = std::chrono::steady_clock::now();
    const QJsonObject still = nextEvent("waiting");
    EXPECT_EQ(still.value("text").toString().toStdString(), "still waiting for " + link + " to come back");
    EXPECT_LT(std::chrono::steady_clock::now() - quietFrom, std::chrono::seconds(12)) << "a station quiet for long";

    SimHarness back(boardLine(1, 200));
    pointLink(link, back.slavePath());
    const QJsonObject board = nextEvent("board");
    EXPECT_EQ(board.value("board").toInt(), 2);
    EXPECT_EQ(board.value("result").toString(), "success");
    station.signal(SIGINT);
    EXPECT_EQ(station.wait().exitCode, 0);
    EXPECT_EQ(back.sim().flash()[0], 0x11);
}

} // namespace
} // namespace pw::test
