#pragma once
#include <QJsonObject>

#include <memory>
#include <string>

namespace pw {

// Where a station keeps its boards' records: each one kept before the next board starts.
class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Keeps one record; empty when it is kept, else why not. `where`: where it now is, for
    // the serial pool's entry of the board's number.
    virtual std::string keep(const QJsonObject& record, std::string& where) = 0;
    // Empty when a record could be kept now, else why not: asked before each board is touched.
    virtual std::string reachable() { return {}; }
    // What the store is called in messages.
    virtual std::string name() const = 0;
};

// Opens the store that `where` names: a file of JSON lines, or db:LINE in the line's database
// (`database`: its connection string). Null with the reason in `problem` when it cannot be opened.
std::unique_ptr<RecordStore> openRecordStore(const std::string& where, const std::string& database,
                                             std::string& problem);

} // namespace pw
