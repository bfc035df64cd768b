#include "line/DatabaseSchema.h"

#include <array>

namespace pw {

namespace {

// Version 1: pools, their numbers and the boards' records. A pool's range never changes and
// its next number only grows, whoever asks; a number leaves "reserved" once and never returns
// to it. The primary key (pool, number) is what makes a number impossible to issue twice.
constexpr const char* kVersion1 = R"sql(
CREATE TABLE pagewise.pool (
    name         text PRIMARY KEY CHECK (name ~ '^[!-~]{1,63}$'),
    first_number bigint NOT NULL CHECK (first_number >= 0),
    step         bigint NOT NULL CHECK (step >= 1),
    last_number  bigint CHECK (last_number >= first_number),
    next_number  bigint,
    created_at   timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE pagewise.serial_number (
    pool        text NOT NULL REFERENCES pagewise.pool (name),
    number      bigint NOT NULL,
    state       text NOT NULL CHECK (state IN ('reserved', 'used', 'void')),
    port        text NOT NULL,
    host        text NOT NULL,
    pid         bigint NOT NULL,
    session_key integer NOT NULL,
    why         text NOT NULL DEFAULT '',
    record      text NOT NULL DEFAULT '',
    reserved_at timestamptz NOT NULL DEFAULT now(),
    settled_at  timestamptz,
    PRIMARY KEY (pool, number)
);
CREATE INDEX serial_number_reserved ON pagewise.serial_number (pool) WHERE state = 'reserved';
CREATE SEQUENCE pagewise.session_key AS integer CYCLE;
CREATE TABLE pagewise.record (
    id             text PRIMARY KEY,
    line           text NOT NULL CHECK (line ~ '^[!-~]{1,63}$'),
    start_id       text NOT NULL,
    recorded_at    timestamptz NOT NULL,
    host           text,
    port           text,
    adapter_serial text,
    board          integer,
    attempt        integer,
    operation      text,
    result         text,
    message        text,
    seconds        double precision,
    bytes          bigint,
    exit           integer,
    error_class    text,
    serial         bigint,
    image          text,
    image_sha256   text,
    record         jsonb NOT NULL,
    committed_at   timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX record_line_time ON pagewise.record (line, recorded_at);
CREATE FUNCTION pagewise.pool_guard() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF NEW.name <> OLD.name OR NEW.first_number <> OLD.first_number OR NEW.step <> OLD.step
       OR NEW.last_number IS DISTINCT FROM OLD.last_number THEN
        RAISE EXCEPTION 'the range of pool % is never changed', OLD.name;
    END IF;
    IF OLD.next_number IS NULL OR (NEW.next_number IS NOT NULL AND NEW.next_number <= OLD.next_number) THEN
        RAISE EXCEPTION 'the next number of pool % only grows', OLD.name;
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER pool_guard BEFORE UPDATE ON pagewise.pool
    FOR EACH ROW EXECUTE FUNCTION pagewise.pool_guard();
CREATE FUNCTION pagewise.serial_number_guard() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    IF OLD.state <> 'reserved' OR NEW.state = 'reserved' OR NEW.pool <> OLD.pool OR NEW.number <> OLD.number THEN
        RAISE EXCEPTION 'serial number % of pool % is % already', OLD.number, OLD.pool, OLD.state;
    END IF;
    RETURN NEW;
END $$;
CREATE TRIGGER serial_number_guard BEFORE UPDATE ON pagewise.serial_number
    FOR EACH ROW EXECUTE FUNCTION pagewise.serial_number_guard();
)sql";

constexpr std::array kVersions = {kVersion1};

// One setup at a time: a second waits, then finds the tables made.
constexpr const char* kPrepare = R"sql(
SELECT pg_advisory_xact_lock(1347878913, 0);
CREATE SCHEMA IF NOT EXISTS pagewise;
CREATE TABLE IF NOT EXISTS pagewise.schema_version (version integer NOT NULL);
)sql";

std::string versionOf(Database& db, int& version)
{
    std::string problem;
    const DbResult result = db.run("SELECT max(version) FROM pagewise.schema_version", {}, problem);
    version = static_cast<int>(result.number(0, 0).value_or(0));
    return problem;
}

} // namespace

int currentSchemaVersion()
{
    return static_cast<int>(kVersions.size());
}

std::string setUpSchema(Database& db, SchemaUpgrade& upgrade)
{
    std::string problem = db.script("BEGIN");
    const auto fail = [&db](const std::string& why) {
        db.script("ROLLBACK");
        return why;
    };
    if (!problem.empty())
        return problem;
    if (problem = db.script(kPrepare); !problem.empty())
        return fail(problem);
    if (problem = versionOf(db, upgrade.from); !problem.empty())
        return fail(problem);
    if (upgrade.from > currentSchemaVersion())
        return fail(db.where() + ": its tables are at version " + std::to_string(upgrade.from) +
                    ", newer than this program's " + std::to_string(currentSchemaVersion()));
    for (int version = upgrade.from; version < currentSchemaVersion(); ++version)
        if (problem = db.script(kVersions[static_cast<std::size_t>(version)]); !problem.empty())
            return fail(problem);
    upgrade.to = currentSchemaVersion();
    if (upgrade.to != upgrade.from) {
        db.run("DELETE FROM pagewise.schema_version", {}, problem);
        if (problem.empty())
            db.run("INSERT INTO pagewise.schema_version VALUES ($1)", {std::to_string(upgrade.to)}, problem);
        if (!problem.empty())
            return fail(problem);
    }
    return db.script("COMMIT");
}

std::string schemaProblem(Database& db)
{
    int version = 0;
    std::string problem;
    const DbResult result = db.run("SELECT to_regclass('pagewise.schema_version') IS NOT NULL", {}, problem);
    if (!problem.empty())
        return problem;
    if (result.text(0, 0) == "t" && !(problem = versionOf(db, version)).empty())
        return problem;
    if (version == currentSchemaVersion())
        return {};
    return db.where() + ": " +
           (version == 0 ? "it has no Pagewise tables; make them with: pagewise-cli db setup"
                         : "its tables are at version " + std::to_string(version) + ", this program needs " +
                               std::to_string(currentSchemaVersion()) + "; run: pagewise-cli db setup");
}

} // namespace pw
