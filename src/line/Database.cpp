#include "line/Database.h"

#include <cstdlib>

namespace pw {

namespace {

// libpq's messages run over several lines; a station's say one.
std::string oneLine(const std::string& text)
{
    std::string line;
    for (const char c : text) {
        const bool space = c == '\n' || c == '\r' || c == '\t' || c == ' ';
        if (space && (line.empty() || line.back() == ' '))
            continue;
        line += space ? ' ' : c;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

void replaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (auto at = text.find(what); !what.empty() && at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

void ignoreNotice(void*, const char*) {}

std::string textOf(const char* text)
{
    return text ? text : "";
}

// A station never hangs on a server that went quiet: connecting, a lock another station holds
// and a dead peer all end in a message within seconds. The server is asked the same for its
// side of the connection, so a station cut off mid-transaction frees its locks.
constexpr const char* kSessionSettings = "SET lock_timeout = '10s'; SET statement_timeout = '30s';"
                                         " SET idle_in_transaction_session_timeout = '30s';"
                                         " SET tcp_keepalives_idle = 5; SET tcp_keepalives_interval = 2;"
                                         " SET tcp_keepalives_count = 3";

} // namespace

bool DbResult::ok() const
{
    if (!result_)
        return false;
    const ExecStatusType status = PQresultStatus(result_.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::optional<std::int64_t> DbResult::number(int row, int column) const
{
    if (row >= rows() || isNull(row, column))
        return std::nullopt;
    char* end = nullptr;
    const char* text = PQgetvalue(result_.get(), row, column);
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0')
        return std::nullopt;
    return value;
}

Database::~Database()
{
    if (conn_)
        PQfinish(conn_);
}

std::string Database::connect(const std::string& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &error);
    if (!parsed) {
        // A string libpq cannot read may hold a password: its words are not repeated.
        const bool secret = conninfo.find("pass") != std::string::npos;
        std::string text = "the database connection string cannot be read";
        if (!secret && error)
            text += ": " + oneLine(error);
        PQfreemem(error);
        return text;
    }
    for (const PQconninfoOption* option = parsed; option->keyword; ++option)
        if (std::string(option->keyword) == "password" && option->val)
            password_ = option->val;
    PQconninfoFree(parsed);

    // Our defaults first: what the connection string says comes later and wins.
    const char* timeout = std::getenv("PGCONNECT_TIMEOUT");
    const char* keys[] = {"connect_timeout",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          "tcp_user_timeout",
                          "application_name",
                          "dbname",
                          nullptr};
    const char* values[] = {timeout ? timeout : "10", "5", "2", "3", "10000", "pagewise", conninfo.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (!conn_)
        return "cannot connect to the database: out of memory";
    PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
    where_ = "database " + textOf(PQdb(conn_)) + " on " + textOf(PQhost(conn_)) + ":" + textOf(PQport(conn_));
    if (const char* used = PQpass(conn_); used && *used)
        password_ = used;
    if (PQstatus(conn_) != CONNECTION_OK)
        return failure(PQerrorMessage(conn_));
    return prepareSession();
}

std::string Database::reconnect()
{
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        return failure(PQerrorMessage(conn_));
    return prepareSession();
}

std::string Database::prepareSession()
{
    return script(kSessionSettings);
}

DbResult Database::run(const char* sql, const std::vector<std::optional<std::string>>& params, std::string& problem)
{
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const auto& param : params)
        values.push_back(param ? param->c_str() : nullptr);
    DbResult result(
        PQexecParams(conn_, sql, static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
    problem = result.ok() ? std::string() : failure(PQerrorMessage(conn_));
    return result;
}

std::string Database::script(const char* sql)
{
    const DbResult result(PQexec(conn_, sql));
    return result.ok() ? std::string() : failure(PQerrorMessage(conn_));
}

bool Database::connected() const
{
    return conn_ && PQstatus(conn_) == CONNECTION_OK;
}

std::string Database::failure(const std::string& detail) const
{
    std::string text = oneLine(detail);
    replaceAll(text, password_, "***");
    return where_ + ": " + (text.empty() ? "no reply" : text);
}

} // namespace pw
