// Serial numbers and records in the line's PostgreSQL database: a real server of the test's
// own, several processes and PCs' worth of stations at once, killed stations, a server that goes
// away, a lost acknowledgement, and what a station's role may not do.
#include "line/NumberStore.h"
#include "support/CliFixture.h"
#include "support/PgProxy.h"
#include "support/PgServer.h"
#include "support/Tables.h"

#include <QJsonArray>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace pw::test {
namespace {

class DatabaseFixture : public CliFixture {
protected:
    void SetUp() override { ASSERT_EQ(server.problem(), ""); }
    void makePool(const std::string& pool, std::uint64_t start, std::uint64_t step = 1) const
    {
        CliFixture::makePool(pool, start, step, server.conninfo("admin"));
    }
    QJsonObject show(const std::string& pool) const { return showPool(pool, server.conninfo()); }
    std::string image() const { return write("fw.bin", kImage); }
    // The pool's numbers in a state: "used", "void" or "reserved".
    std::set<qint64> numbers(const std::string& pool, const char* state) const
    {
        std::set<qint64> found;
        for (const QJsonValue& value : show(pool).value(state).toArray())
            found.insert(value.toInteger());
        return found;
    }

    PgServer server;
};

struct CommandRow {
    const char* name;
    bool tables;                   // db setup and the grants first, and a pool db:p from 1
    std::vector<std::string> args; // "$image": the image
    const char* user;              // whose connection: "admin", "pagewise_station", or "wrong" password
    int exitCode;
    const char* said;    // a part of stdout or stderr
    const char* notSaid; // in no output
};
using pw::test::PrintTo;

class DbCommand : public DatabaseFixture, public ::testing::WithParamInterface<CommandRow> {};

// What a command does to the tables (nothing, when it is refused), and what it says.
TEST_P(DbCommand, DoesWhatItMayAndSaysWhy)
{
    const CommandRow& row = GetParam();
    if (row.tables) {
        ASSERT_NO_FATAL_FAILURE(server.setUpTables());
        ASSERT_NO_FATAL_FAILURE(makePool("db:p", 1));
    }
    const std::string snapshot =
        "SELECT string_agg(relname || ':' || relkind::text, ',' ORDER BY relname) FROM pg_class "
        "WHERE relnamespace = 'pagewise'::regnamespace";
    const std::string tablesBefore = row.tables ? server.query(snapshot) : "";
    const std::string rowsBefore = row.tables ? server.query("SELECT * FROM pagewise.pool") : "";
    const std::string who = row.user;
    std::string conninfo =
        who == "wrong" ? server.conninfo("pagewise_station", "not-the-pw-3e1d") : server.conninfo(who);
    if (who == "pagewise_station" && std::string(row.name) == "no_server_there")
        conninfo.replace(0, conninfo.find(' '), "host=/nonexistent-pw");
    SimHarness target;
    std::vector<std::string> args = {"--port", target.slavePath()};
    for (const std::string& arg : row.args)
        args.push_back(arg == "$image" ? image() : arg);
    if (args[2] == "db" || args[2] == "serials")
        args.erase(args.begin(), args.begin() + 2);
    const ChildResult run = cli(args, conninfo);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(row.said), std::string::npos) << run.out << run.err;
    EXPECT_EQ((run.out + run.err).find(row.notSaid), std::string::npos) << run.out << run.err;
    if (row.tables) {
        EXPECT_EQ(server.query(snapshot), tablesBefore);
        if (row.exitCode != 0) {
            EXPECT_EQ(server.query("SELECT * FROM pagewise.pool"), rowsBefore);
        }
    }
    if (row.exitCode != 0) {
        EXPECT_TRUE(target.programFrames().empty());
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Commands, DbCommand, ::testing::Values(
    CommandRow{"setup_on_an_empty_database", false, {"db", "setup"}, "admin", 0, "made the Pagewise tables, version 1",
        "password"},
    CommandRow{"setup_again_changes_nothing", true, {"db", "setup"}, "admin", 0,
        "are at version 1 already; nothing was changed", "password"},
    CommandRow{"a_run_never_makes_tables", false,
        {"--serial", "0x900:u8", "--serial-pool", "db:p", "program", "$image"}, "pagewise_station", 5,
        "it has no Pagewise tables; make them with: pagewise-cli db setup", "password"},
    CommandRow{"a_wrong_password", true, {"--serial", "0x900:u8", "--serial-pool", "db:p", "program", "$image"},
        "wrong", 5, "password authentication failed for user \"pagewise_station\"", "not-the-pw-3e1d"},
    CommandRow{"no_server_there", false, {"serials", "show", "db:p"}, "pagewise_station", 5,
        "serial pool db:p: database line on /nonexistent-pw:5432:", "station-pw"},
    CommandRow{"a_pool_that_is_not_there", true, {"--serial", "0x900:u8", "--serial-pool", "db:q", "program", "$image"},
        "pagewise_station", 3,
        "serial pool db:q does not exist; create it with: pagewise-cli serials init db:q --start N", "password"},
    CommandRow{"a_station_may_not_make_pools", true, {"serials", "init", "db:q", "--start", "1"}, "pagewise_station", 5,
        "permission denied for table pool", "station-pw"},
    CommandRow{"a_pool_made_twice", true, {"serials", "init", "db:p", "--start", "9"}, "admin", 3,
        "serial pool db:p exists already", "password"},
    CommandRow{"a_name_that_is_sql", true, {"serials", "init", "db:x');DROP\"TABLE--", "--start", "5"}, "admin", 0,
        "serial pool db:x');DROP\"TABLE-- created", "ERROR"},
    CommandRow{"a_name_with_a_space", true, {"serials", "show", "db:a b"}, "admin", 3,
        "POOL takes db:NAME with 1 to 63 printable ASCII characters", "password"}
), rowName);
// clang-format on

// The same promises of a line's pool and records, from a file journal and from the database.
class EachStore : public DatabaseFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        if (inDatabase()) {
            ASSERT_NO_FATAL_FAILURE(server.setUpTables());
        }
    }
    bool inDatabase() const { return GetParam(); }
    // The pool `name` names in the store ("db:NAME" or a journal file of that name).
    std::string pool(const std::string& name) const { return inDatabase() ? "db:" + name : path("pool.jsonl"); }
};

// Eight processes drawing 50 numbers each from one pool at once: 400 distinct numbers, each
// used, none skipped. Forked before the test starts a thread.
TEST_P(EachStore, EightProcessesNeverShareANumber)
{
    const std::string pool = this->pool("p");
    ASSERT_FALSE(createNumberStore(pool, server.conninfo("admin"), {7, 2, std::nullopt}));
    std::vector<pid_t> children;
    for (int child = 0; child < 8; ++child) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            PoolProblem problem;
            const std::unique_ptr<NumberStore> numbers = openNumberStore(pool, server.conninfo(), problem);
            for (int n = 0; numbers && n < 50; ++n) {
                std::uint64_t number = 0;
                if (numbers->reserve("child", UINT64_MAX, number) || numbers->settle(number, true, "", ""))
                    ::_exit(3);
            }
            ::_exit(numbers ? 0 : 2);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    PoolProblem problem;
    PoolState state;
    const std::unique_ptr<NumberStore> numbers = openNumberStore(pool, server.conninfo(), problem);
    ASSERT_TRUE(numbers) << problem.text;
    ASSERT_FALSE(numbers->readState(state));
    ASSERT_EQ(state.numbers.size(), 400u);
    EXPECT_EQ(state.numbers.begin()->first, 7u);
    EXPECT_EQ(state.numbers.rbegin()->first, 7u + 2 * 399);
    EXPECT_TRUE(
        std::ranges::all_of(state.numbers, [](const auto& n) { return n.second.state == PoolNumber::State::Used; }));
}

// A station killed after its reservation: the number becomes void once its process (for the
// database, its session) has ended, and is never issued again.
TEST_P(EachStore, AKilledStationsNumberIsVoidOnceItHasEnded)
{
    const std::string pool = this->pool("p");
    ASSERT_NO_FATAL_FAILURE(makePool(pool, 100));
    const std::vector<std::string> args = {"-q", "--serial", "0x900:u8", "--serial-pool", pool, "program", image()};
    SimHarness target(SimHarness::withFaults({{sim::Fault::Kind::Slow, 300}}));
    std::vector<std::string> withPort = {"--port", target.slavePath(), "--database", server.conninfo()};
    withPort.insert(withPort.end(), args.begin(), args.end());
    ChildProcess run(cliProgram(), withPort);
    ASSERT_TRUE(target.waitForProgramFrames(13)); // connect, handshake, masks, address, a write
    EXPECT_EQ(numbers(pool, "reserved"), std::set<qint64>{100});
    run.signal(SIGKILL);
    EXPECT_EQ(run.wait().exitCode, -1);
    // The server notices the closed connection on its own time: each look is a new run's.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (numbers(pool, "void") != std::set<qint64>{100} && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(numbers(pool, "void"), std::set<qint64>{100});
    EXPECT_EQ(show(pool).value("numbers").toArray().at(0).toObject().value("why").toString(),
              inDatabase() ? "its station's database session ended before the board's outcome"
                           : "its process ended before the board's outcome");

    SimHarness next;
    withPort = {"--port", next.slavePath()};
    withPort.insert(withPort.end(), args.begin(), args.end());
    const ChildResult again = cli(withPort, server.conninfo());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(next.sim().flash()[0x900], 101);
}

// Stations of one line, as two processes on two ports each, sharing a pool (a file journal, or
// the database under a name that is no plain word) and one record line: every board holds the
// image and its own number, the numbers run by the step, and the records, the after-board hook
// and the pool name each board's number.
TEST_P(EachStore, StationsOfALineShareOnePoolAndOneRecordLine)
{
    const std::string pool = this->pool("line'7;\"a\"");
    const std::string record = inDatabase() ? "db:line7" : path("boards.jsonl");
    ASSERT_NO_FATAL_FAILURE(makePool(pool, 5000, 3));
    std::vector<std::unique_ptr<SimHarness>> lines;
    std::vector<std::unique_ptr<ChildProcess>> stations;
    for (int process = 0; process < 2; ++process) {
        std::vector<std::string> args = {"-q",
                                         "--database",
                                         server.conninfo(),
                                         "--serial",
                                         "0xFFF0:u32le",
                                         "--serial-pool",
                                         pool,
                                         "--record",
                                         record,
                                         "--after-board",
                                         "echo $PAGEWISE_SERIAL >> " + path("hook.txt")};
        for (int port = 0; port < 2; ++port) {
            lines.push_back(std::make_unique<SimHarness>(boardLine(4, 200)));
            args.insert(args.end(), {"--port", lines.back()->slavePath()});
        }
        args.insert(args.end(), {"station", "program", image()});
        stations.push_back(std::make_unique<ChildProcess>(cliProgram(), args));
    }
    for (auto& station : stations) {
        for (int board = 0; board < 8; ++board)
            ASSERT_TRUE(station->readLine(std::chrono::seconds(60)).starts_with("PASS ")) << "board " << board;
        station->signal(SIGINT);
        const ChildResult run = station->wait();
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    std::map<std::string, std::vector<sim::FlashBytes>> flashes;
    for (const auto& line : lines)
        flashes[line->slavePath()] = line->sim().boardFlashes();
    const std::vector<QJsonObject> records = jsonLines(
        inDatabase() ? server.query("SELECT record FROM pagewise.record WHERE line = 'line7'") : fileText(record));
    ASSERT_EQ(records.size(), 16u);
    std::set<std::uint64_t> numbers, expected;
    for (const QJsonObject& kept : records) {
        const sim::FlashBytes& flash = flashes.at(kept["port"].toString().toStdString()).at(kept["board"].toInt() - 1);
        EXPECT_TRUE(std::equal(kImage.begin(), kImage.end(), flash.begin(),
                               [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }));
        EXPECT_EQ(kept["serial"].toInteger(), static_cast<qint64>(u32leAt(flash, 0xFFF0)));
        EXPECT_EQ(kept["serial_address"].toInteger(), 0xFFF0);
        EXPECT_EQ(kept["result"].toString(), "success");
        numbers.insert(u32leAt(flash, 0xFFF0));
    }
    for (std::uint64_t k = 0; k < 16; ++k)
        expected.insert(5000 + 3 * k);
    EXPECT_EQ(numbers, expected);
    std::set<std::uint64_t> hooked;
    std::istringstream seen(fileText(path("hook.txt")));
    for (std::uint64_t number = 0; seen >> number;)
        hooked.insert(number);
    EXPECT_EQ(hooked, expected) << "the after-board hook did not see each board's number";
    const QJsonObject state = show(pool);
    EXPECT_EQ(state.value("used").toArray().size(), 16);
    for (const QJsonValue& number : state.value("numbers").toArray()) {
        EXPECT_TRUE(number["record"].toString().startsWith(QString::fromStdString(record + ":"))) << record;
        EXPECT_EQ(number["host"].toString(), QSysInfo::machineHostName());
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, EachStore, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "database" : "file"; });

// The server stopped at once in the middle of a line: the station stops before it touches the
// next board, naming it; started again, the next run takes the next number.
TEST_F(DatabaseFixture, AServerThatGoesAwayStopsTheStationBeforeTheNextBoard)
{
    ASSERT_NO_FATAL_FAILURE(server.setUpTables());
    ASSERT_NO_FATAL_FAILURE(makePool("db:p", 1));
    SimHarness line(boardLine(5, 1500)); // the stop is over before the next board comes
    ChildProcess station(cliProgram(),
                         {"-q", "--port", line.slavePath(), "--database", server.conninfo(), "--serial", "0x900:u8",
                          "--serial-pool", "db:p", "--record", "db:l", "station", "program", image()});
    for (int board = 0; board < 2; ++board)
        ASSERT_TRUE(station.readLine(std::chrono::seconds(60)).starts_with("PASS ")) << "board " << board;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (server.query("SELECT count(*) FROM pagewise.serial_number WHERE state = 'used'") != "2\n" &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::size_t framesBefore = line.programFrames().size();
    server.stopImmediately();
    ASSERT_EQ(server.problem(), "");
    const ChildResult run = station.wait();
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("board 3"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("database line on " + server.socketFolder()), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("station-pw"), std::string::npos) << run.err;
    const std::vector<std::string> frames = line.programFrames();
    EXPECT_TRUE(std::none_of(frames.begin() + static_cast<std::ptrdiff_t>(framesBefore), frames.end(),
                             [](const std::string& frame) { return frame.starts_with("0F 09 "); }))
        << "a block was written to the board after the server went away";

    server.start();
    ASSERT_EQ(server.problem(), "");
    SimHarness next;
    const ChildResult again =
        cli({"-q", "--port", next.slavePath(), "--serial", "0x900:u8", "--serial-pool", "db:p", "program", image()},
            server.conninfo());
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(next.sim().flash()[0x900], 3);
    EXPECT_EQ(server.query("SELECT count(*) FROM pagewise.record"), "2\n");
}

// A record's commit whose acknowledgement never came back is sent again, and found: one row
// per board, none doubled, and the station goes on.
TEST_F(DatabaseFixture, ARecordSentAgainAfterALostAcknowledgementIsNotDoubled)
{
    ASSERT_NO_FATAL_FAILURE(server.setUpTables());
    TempDir proxyFolder;
    PgProxy proxy(proxyFolder.path().toStdString(), server.socketFolder());
    std::string through = server.conninfo();
    through.replace(through.find(server.socketFolder()), server.socketFolder().size(),
                    proxyFolder.path().toStdString());
    proxy.loseReplyTo("INSERT INTO pagewise.record");
    SimHarness line(boardLine(3, 100));
    ChildProcess station(cliProgram(), {"-q", "--port", line.slavePath(), "--database", through, "--record", "db:l",
                                        "station", "program", image()});
    for (int board = 0; board < 3; ++board)
        ASSERT_TRUE(station.readLine(std::chrono::seconds(60)).starts_with("PASS ")) << "board " << board;
    station.signal(SIGINT);
    const ChildResult run = station.wait();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(proxy.cut());
    EXPECT_EQ(server.query("SELECT board, count(*) FROM pagewise.record GROUP BY board ORDER BY board"),
              "1|1\n2|1\n3|1\n");
}

} // namespace
} // namespace pw::test
