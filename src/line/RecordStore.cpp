#include "line/RecordStore.h"

#include "line/DatabaseRecords.h"
#include "line/RecordFile.h"
#include "line/StoreName.h"

namespace pw {

std::unique_ptr<RecordStore> openRecordStore(const std::string& where, const std::string& database,
                                             std::string& problem)
{
    if (const auto line = databaseName(where)) {
        auto rows = std::make_unique<DatabaseRecords>();
        problem = rows->open(database, *line);
        return problem.empty() ? std::move(rows) : nullptr;
    }
    auto file = std::make_unique<RecordFile>();
    problem = file->open(where);
    return problem.empty() ? std::move(file) : nullptr;
}

} // namespace pw
