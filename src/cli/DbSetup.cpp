#include "cli/DbSetup.h"

#include "line/DatabaseSchema.h"
#include "line/Outcomes.h"

#include <cstdio>

namespace pw::cli {

int runDbSetup(const std::string& conninfo)
{
    Database db;
    SchemaUpgrade upgrade;
    std::string problem = db.connect(conninfo);
    if (problem.empty())
        problem = setUpSchema(db, upgrade);
    if (!problem.empty()) {
        std::fprintf(stderr, "pagewise-cli: %s\n", problem.c_str());
        return ExitNotKept;
    }
    if (upgrade.from == upgrade.to)
        std::printf("the Pagewise tables in %s are at version %d already; nothing was changed\n", db.where().c_str(),
                    upgrade.to);
    else if (upgrade.from == 0)
        std::printf("made the Pagewise tables, version %d, in %s\n", upgrade.to, db.where().c_str());
    else
        std::printf("brought the Pagewise tables in %s from version %d to %d\n", db.where().c_str(), upgrade.from,
                    upgrade.to);
    return ExitSuccess;
}

} // namespace pw::cli
