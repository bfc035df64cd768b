#pragma once
#include "support/Files.h"

#include <memory>

#include <string>

namespace pw::test {

// A PostgreSQL server of the test's own: initdb into a temporary folder (as nobody when the
// tests run as root), listening on a Unix socket in that folder only, with password
// authentication, a database "line", its superuser "admin" and a role "pagewise_station" with
// the grants the README gives. Stopped and removed with the object.
class PgServer {
public:
    // In a new folder below `parent` (default: the temporary folder); `durable`: each commit
    // reaches the disk, as on a line's server, instead of the tests' fsync=off.
    explicit PgServer(const std::string& parent = {}, bool durable = false);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty when the server runs, else why it does not (the test then fails, never skips).
    const std::string& problem() const { return problem_; }
    // A libpq connection string for `user` ("admin" or "pagewise_station") with its password, or
    // with `password` instead.
    std::string conninfo(const std::string& user = "pagewise_station", const std::string& password = "") const;
    // Makes the tables (pagewise-cli db setup as admin) and grants the station role its rights.
    void setUpTables();
    // The statement's result as text, a row per line, its columns separated by '|'; run as admin.
    std::string query(const std::string& sql) const;
    // Stops at once, as a crash would (no checkpoint), and starts again.
    void stopImmediately();
    void start();
    const std::string& socketFolder() const { return folder_; }

private:
    std::string ctl(const std::string& action) const;

    TempDir dir_;
    bool durable_;
    std::string folder_;
    std::string problem_;
};

} // namespace pw::test
