#include "line/RecordFile.h"

#include "line/JsonWriter.h"

namespace pw {

std::string RecordFile::keep(const QJsonObject& record, std::string& where)
{
    std::uint64_t lineNumber = 0;
    std::string failure = file_.append(jsonLine(record), &lineNumber);
    if (failure.empty())
        where = file_.path() + ":" + std::to_string(lineNumber);
    return failure;
}

std::unique_ptr<RecordStore> openRecordStore(const std::string& where, std::string& problem)
{
    auto file = std::make_unique<RecordFile>();
    problem = file->open(where);
    if (!problem.empty())
        return nullptr;
    return file;
}

} // namespace pw
