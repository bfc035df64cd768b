#include "support/PgServer.h"

#include "support/ChildProcess.h"

#include <libpq-fe.h>

#include <QDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace pw::test {

namespace {

const std::string kBin = PW_PG_BINDIR;
const char* const kAdminPassword = "admin-pw-7f2c";
const char* const kStationPassword = "station-pw-91ab";

// initdb refuses to run as root: the server is then nobody's.
ChildResult runAsServer(const std::string& program, std::vector<std::string> args)
{
    if (::geteuid() != 0)
        return ChildProcess(program, args).wait(std::chrono::seconds(120));
    args.insert(args.begin(), {"-u", "nobody", "--", program});
    return ChildProcess("/usr/sbin/runuser", args).wait(std::chrono::seconds(120));
}

// The README's grants for the station role, as a line's administrator would run them.
std::string readmeGrants()
{
    const std::string readme = fileText(std::string(PW_SOURCE_DIR) + "/README.md");
    const std::string marker = "<!-- station role -->\n```sql\n";
    const auto begin = readme.find(marker);
    if (begin == std::string::npos)
        return {};
    const auto from = begin + marker.size();
    return readme.substr(from, readme.find("```", from) - from);
}

} // namespace

PgServer::PgServer(const std::string& parent, bool durable)
    : dir_((parent.empty() ? QDir::tempPath().toStdString() : parent) + "/pw-pg-XXXXXX"), durable_(durable)
{
    dir_.setAutoRemove(true);
    folder_ = dir_.path().toStdString();
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            problem_ = "cannot give the server's folder to nobody";
            return;
        }
    }
    const std::string pwfile = writeFile(dir_.file("pw"), std::string(kAdminPassword) + "\n");
    if (::geteuid() == 0)
        ::chmod(pwfile.c_str(), 0644);
    const ChildResult made =
        runAsServer(kBin + "/initdb", {"-D", dir_.file("data"), "-U", "admin", "--pwfile", pwfile, "--auth",
                                       "scram-sha-256", "-N", "-E", "UTF8", "--locale", "C"});
    if (made.exitCode != 0) {
        problem_ = "initdb failed: " + made.err;
        return;
    }
    start();
    if (!problem_.empty())
        return;
    query("CREATE DATABASE line");
    query("CREATE ROLE pagewise_station LOGIN PASSWORD '" + std::string(kStationPassword) + "'");
}

PgServer::~PgServer()
{
    ctl("stop");
}

std::string PgServer::ctl(const std::string& action) const
{
    std::vector<std::string> args = {"-D", dir_.file("data"), "-w", "-l", dir_.file("log")};
    // A commit that was answered before it was written stays unwritten for 10 s, so a crash of
    // the server loses it for sure.
    if (action == "start")
        args.insert(args.end(), {"-o", "-k " + folder_ + " -c listen_addresses='' -c wal_writer_delay=10s" +
                                           (durable_ ? "" : " -c fsync=off")});
    if (action == "immediate")
        args.insert(args.end(), {"-m", "immediate"});
    args.push_back(action == "immediate" ? "stop" : action);
    const ChildResult done = runAsServer(kBin + "/pg_ctl", args);
    return done.exitCode == 0 ? std::string()
                              : "pg_ctl " + action + " failed: " + done.err + fileText(dir_.file("log"));
}

void PgServer::start()
{
    problem_ = ctl("start");
}

void PgServer::stopImmediately()
{
    problem_ = ctl("immediate");
}

std::string PgServer::conninfo(const std::string& user, const std::string& password) const
{
    const std::string given = password.empty() ? (user == "admin" ? kAdminPassword : kStationPassword) : password;
    return "host=" + folder_ + " dbname=line user=" + user + " password=" + given;
}

std::string PgServer::query(const std::string& sql) const
{
    const bool toServer = sql.starts_with("CREATE DATABASE");
    std::string info = conninfo("admin");
    if (toServer) // the database is not there yet
        info.replace(info.find("dbname=line"), std::string("dbname=line").size(), "dbname=postgres");
    PGconn* conn = PQconnectdb(info.c_str());
    std::string text;
    if (PQstatus(conn) != CONNECTION_OK) {
        ADD_FAILURE() << "cannot connect to the test server: " << PQerrorMessage(conn);
        PQfinish(conn);
        return text;
    }
    PGresult* result = PQexec(conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        ADD_FAILURE() << sql << ": " << PQresultErrorMessage(result);
    for (int row = 0; row < PQntuples(result); ++row) {
        for (int column = 0; column < PQnfields(result); ++column)
            text += (column ? "|" : "") + std::string(PQgetvalue(result, row, column));
        text += "\n";
    }
    PQclear(result);
    PQfinish(conn);
    return text;
}

void PgServer::setUpTables()
{
    const ChildResult setup = ChildProcess(cliProgram(), {"db", "setup", "--database", conninfo("admin")}).wait();
    ASSERT_EQ(setup.exitCode, 0) << setup.err;
    const std::string grants = readmeGrants();
    ASSERT_FALSE(grants.empty()) << "the README gives no grants for the station role";
    query(grants);
}

} // namespace pw::test
