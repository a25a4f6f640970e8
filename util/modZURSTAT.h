#pragma once
// The table routines of the shared form module: existence of a table, and
// whether a name is a table, a stored query or neither. Errors are absorbed.
#include "db/Dao.h"

#include <cstdint>
#include <string>

// True when the database has a table definition of that name.
bool TableDefExists(const dao::DatabasePtr& db, const std::string& tableName);

// 0 for a table, 1 for a stored query, -99 for neither. A failure of the table
// lookup other than "item not found" counts as a table, one of the query
// lookup as a query.
std::int32_t TableOrQueryKind(const dao::DatabasePtr& db, const std::string& name);
