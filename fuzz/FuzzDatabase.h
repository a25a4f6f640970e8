#pragma once
// The in-memory database the SQL fuzz targets run their statements on: the
// Jet functions registered, and the tables (and rows) `setup` makes.
#include "db/JetFunctions.h"

#include <sqlite3.h>

namespace fuzz {

inline sqlite3* OpenDatabase(const char* setup) {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    dao::RegisterJetFunctions(d);
    sqlite3_exec(d, setup, nullptr, nullptr, nullptr);
    return d;
}

} // namespace fuzz
