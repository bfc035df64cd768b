#pragma once
#include "line/RecordStore.h"
#include "line/SyncedLineFile.h"

namespace pw {

// Records as JSON lines in one file, shared with other stations on the machine; each line on
// disk before keep returns.
class RecordFile : public RecordStore {
public:
    std::string open(const std::string& path) { return file_.open(path); }
    std::string keep(const QJsonObject& record, std::string& where) override;
    std::string name() const override { return file_.path(); }

private:
    SyncedLineFile file_;
};

} // namespace pw
