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

} // namespace pw
