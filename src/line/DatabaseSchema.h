#pragma once
#include "line/Database.h"

#include <string>

namespace pw {

// The tables a line keeps in its database, in versions: each version's change runs once, in
// order, all of them in one transaction.
int currentSchemaVersion();

struct SchemaUpgrade {
    int from = 0; // 0: there were no tables
    int to = 0;
};
// Creates the tables or brings them up to the current version; a second call changes nothing.
// Empty when done, else why not (and nothing changed).
std::string setUpSchema(Database& db, SchemaUpgrade& upgrade);
// Why a run cannot use this database's tables (none yet, or another version); empty when it can.
std::string schemaProblem(Database& db);

} // namespace pw
