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

// The name of a table or stored query, or of one of its fields, as the file
// holds it. A legacy program may have named them in Latin-1 bytes
// ("Donn\xE9es"), which are read, listed and stored in scenarios as the
// word they spell ("Données"), as its texts are; SQL needs the bytes. A name
// the file holds as given, or that names nothing, comes back as it is.
std::string StoredTableName(const dao::DatabasePtr& db, const std::string& name);
std::string StoredFieldName(const dao::DatabasePtr& db, const std::string& table, const std::string& name);
