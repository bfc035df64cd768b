#pragma once
#include "line/BoardHook.h"
#include "line/ImageInput.h"
#include "line/PortSession.h"

#include <QJsonObject>

#include <map>
#include <optional>
#include <string>

namespace pw {

// What a station's records share: one id per station run, the machine, the image.
struct StationIdentity {
    std::string startId; // a UUID, new at each start of pagewise-cli station
    std::string host;
    const PreparedImage* image = nullptr;
};

// How one board ended, for its PASS or FAIL line, its `board` event and its record.
struct BoardReport {
    unsigned board = 0;
    unsigned attempt = 1;                 // the attempt that passed or failed last
    PortOutcome outcome;                  // result.seconds: the board's whole time on the station
    std::map<std::string, double> phases; // seconds of each phase that ended well, by name
    std::optional<std::string> hook;      // a hook that failed: "before-board" or "after-board"
    HookResult hookResult;
};

// Why a board failed, for a line controller: `target`, `line`, `image`, `port`, `record`,
// `cancelled` (and `fixture` for a hook), and whether --retries runs it again.
struct ErrorClass {
    const char* name;
    bool retryable;
};
std::optional<ErrorClass> errorClassOf(const BoardReport& report);

// The result of one run on one port: operation, result, message, seconds, bytes, exit; the
// `result` event, and what a board's record is made from.
QJsonObject resultObject(const PortOutcome& outcome);
// The `board` event's fields: board, attempt, the result's fields, phases, error_class, retryable.
QJsonObject boardFields(const BoardReport& report);
// One line of --record, schema 2: the board's fields with the station's and the adapter's.
QJsonObject boardRecord(const BoardReport& report, const StationIdentity& station, const std::string& adapterSerial);
// The PASS or FAIL line on stdout.
std::string boardLine(const BoardReport& report);

} // namespace pw
