#include "line/DatabaseRecords.h"

#include "line/DatabaseSchema.h"
#include "line/JsonWriter.h"

namespace pw {

namespace {

constexpr const char* kInsert = R"sql(
INSERT INTO pagewise.record (id, line, start_id, recorded_at, host, port, adapter_serial, board, attempt,
                             operation, result, message, seconds, bytes, exit, error_class, serial, image,
                             image_sha256, record)
SELECT r->>'record_id', $1, r->>'start_id', (r->>'time')::timestamptz, r->>'host', r->>'port',
       r->>'adapter_serial', (r->>'board')::integer, (r->>'attempt')::integer, r->>'operation', r->>'result',
       r->>'message', (r->>'seconds')::double precision, (r->>'bytes')::bigint, (r->>'exit')::integer,
       r->>'error_class', (r->>'serial')::bigint, r->>'image', r->>'image_sha256', r
FROM (SELECT $2::jsonb AS r) AS given
ON CONFLICT (id) DO NOTHING
RETURNING id)sql";

// A row already there under the id: the same record, sent before its acknowledgement was lost?
constexpr const char* kSame = "SELECT record = $2::jsonb FROM pagewise.record WHERE id = $1";

} // namespace

std::string DatabaseRecords::open(const std::string& conninfo, const std::string& line)
{
    line_ = line;
    if (std::string problem = db_.connect(conninfo); !problem.empty())
        return problem;
    return schemaProblem(db_);
}

std::string DatabaseRecords::insert(const std::string& id, const std::string& json)
{
    std::string problem;
    const DbResult inserted = db_.run(kInsert, {line_, json}, problem);
    if (!problem.empty() || inserted.rows() == 1)
        return problem;
    const DbResult same = db_.run(kSame, {id, json}, problem);
    if (problem.empty() && same.text(0, 0) != "t")
        return db_.where() + ": a different record with id " + id + " is there already";
    return problem;
}

std::string DatabaseRecords::withConnection(const std::function<std::string()>& work)
{
    std::lock_guard guard(mutex_);
    std::string problem = work();
    if (problem.empty() || db_.connected())
        return problem;
    if (problem = db_.reconnect(); !problem.empty())
        return problem;
    return work();
}

std::string DatabaseRecords::reachable()
{
    return withConnection([this] { return db_.script("SELECT 1"); });
}

// A broken connection leaves unknown whether the row was committed: it is sent again, and
// found if it was.
std::string DatabaseRecords::keep(const QJsonObject& record, std::string& where)
{
    const std::string id = record.value("record_id").toString().toStdString();
    const std::string json = jsonLine(record);
    std::string problem = withConnection([&] { return insert(id, json); });
    if (problem.empty())
        where = "db:" + line_ + ":" + id;
    return problem;
}

} // namespace pw
