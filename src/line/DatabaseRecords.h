#pragma once
#include "line/Database.h"
#include "line/RecordStore.h"

#include <functional>
#include <mutex>
#include <string>

namespace pw {

// A line's records as rows of the line's database: the record's fields as columns and the
// whole record as jsonb, each committed before keep returns. The record's id is the row's key,
// so a row sent again after its acknowledgement was lost is found, not doubled.
class DatabaseRecords : public RecordStore {
public:
    std::string open(const std::string& conninfo, const std::string& line);
    std::string keep(const QJsonObject& record, std::string& where) override;
    std::string reachable() override;
    std::string name() const override { return "db:" + line_; }

private:
    std::string insert(const std::string& id, const std::string& json);
    // Runs `work`; once more after connecting again when the connection was lost.
    std::string withConnection(const std::function<std::string()>& work);

    Database db_;
    std::string line_;
    std::mutex mutex_; // the stations of one process share the connection
};

} // namespace pw
