#pragma once
// Which names an output table may not take, because replacing a table of that
// name would destroy something: the scenario tables, the database's own
// catalogue, or the data the analysis reads (the source table itself, a table
// a saved query reads, or the same table reached through another path to the
// same file).
#include "db/Dao.h"

#include <string>
#include <vector>

class OutputTableRules {
public:
    struct Context {
        dao::DatabasePtr output;
        dao::DatabasePtr source;
        std::string sourceTable;
        // The scenario tables' names as the run uses them; the standard names
        // are always refused as well.
        std::vector<std::string> scenarioTables;
    };
    // The message that refuses `name` as an output table, or empty.
    static std::string Refusal(const std::string& name, const Context& context);
    // True when the two paths name the same file (same device and inode).
    static bool SameFile(const std::string& a, const std::string& b);
};
