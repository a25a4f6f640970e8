#pragma once
// The application's current database: set by the database-open procedure
// before it checks for the scenario tables, and open from then until the next
// database is opened or the application ends. The scenario-table routines
// (ScenarioTables.h) read it. Null while no database is open.
#include "db/Database.h"

extern dao::DatabasePtr gdbCurrent;
