#pragma once
#include <libpq-fe.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// One reply of the server: its rows as text, or why there are none.
class DbResult {
public:
    DbResult() = default;
    explicit DbResult(PGresult* result) : result_(result, &PQclear) {}
    bool ok() const;
    int rows() const { return result_ ? PQntuples(result_.get()) : 0; }
    // The rows an INSERT, UPDATE or DELETE changed.
    int changed() const { return result_ ? std::atoi(PQcmdTuples(result_.get())) : 0; }
    bool isNull(int row, int column) const { return PQgetisnull(result_.get(), row, column) != 0; }
    std::string text(int row, int column) const { return PQgetvalue(result_.get(), row, column); }
    std::optional<std::int64_t> number(int row, int column) const;

private:
    std::unique_ptr<PGresult, decltype(&PQclear)> result_{nullptr, &PQclear};
};

// A connection to the line's PostgreSQL database. The connection string is libpq's own (empty:
// its defaults from PGHOST, PGDATABASE, PGUSER, ~/.pgpass); messages name the server and the
// database, never a password. Not for two threads at once.
class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Empty when connected, else why not.
    std::string connect(const std::string& conninfo);
    // Connects again after the connection was lost; empty when it is back.
    std::string reconnect();
    // Runs one statement with its parameters bound (never spliced into the text); the
    // parameters' nullopt is SQL null. An empty `problem` afterwards: it ran.
    DbResult run(const char* sql, const std::vector<std::optional<std::string>>& params, std::string& problem);
    // Runs statements without parameters, several in one text; empty when they all ran.
    std::string script(const char* sql);
    // Whether the connection is still usable after a failed statement.
    bool connected() const;
    // "database line on /run/pg:5432", for messages.
    const std::string& where() const { return where_; }

private:
    std::string failure(const std::string& detail) const;
    std::string prepareSession();

    PGconn* conn_ = nullptr;
    std::string where_ = "the database";
    std::string password_; // only to keep it out of messages
};

} // namespace pw
