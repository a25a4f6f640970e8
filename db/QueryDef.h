#pragma once
// A stored query: a name and its SQL text. Select queries can be opened as
// recordsets and used as data sources like tables.
#include "db/Collection.h"
#include "db/Field.h"
#include "db/Property.h"

#include <memory>
#include <string>

namespace dao {

class Connection;
class Database;
class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;

// A view that another program saved in the file (SQLite's own saved query)
// is a query too: it reads the view ("SELECT * FROM [view]"), and it cannot
// be changed, renamed or deleted through this layer (error 3027).
class QueryDef {
public:
    QueryDef(std::string name, std::string sql) : m_name(std::move(name)), m_sql(std::move(sql)) {}

    const std::string& Name() const noexcept { return m_name; }
    void SetName(const std::string& name);
    const std::string& SQL() const noexcept { return m_sql; }
    void SetSQL(const std::string& sql);
    int Type() const;                     // dbQSelect, dbQCrosstab, dbQSetOperation, dbQDelete, ...
    // A view of the file, read-only here.
    bool IsView() const noexcept { return m_view; }
    // Its records can be read: the layer reads its SQL (a view: SQLite
    // prepares it). A query that needs parameters is readable; opening it
    // without them fails with 3061.
    bool Readable() const;

    dao::Fields& Fields();                // the columns a select query returns
    RecordsetPtr OpenRecordset(int type = 0, int options = 0);
    void Execute(int options = 0);
    void Close() noexcept {}

private:
    friend class QueryDefs;
    friend class Database;
    std::string m_name;
    std::string m_sql;
    bool m_stored = false;
    bool m_view = false;
    std::weak_ptr<Database> m_db;
    dao::Fields m_fields;
};
using QueryDefPtr = std::shared_ptr<QueryDef>;

class QueryDefs : public Collection<QueryDef> {
public:
    void Append(const QueryDefPtr& qd);
    void Delete(std::string_view name);
    void Refresh();
    // Makes again each saved query's view that an earlier translation of its
    // statement made; called when a file is opened. Never fails: a file
    // that cannot be written keeps its views.
    static void RemakeStaleViews(Connection& c) noexcept;

    QueryDefPtr operator()(int index) { ensure(); return Collection<QueryDef>::operator()(index); }
    QueryDefPtr operator()(std::string_view name) { ensure(); return Collection<QueryDef>::operator()(name); }
    QueryDefPtr Find(std::string_view name) { ensure(); return Collection<QueryDef>::Find(name); }
    int Count() { ensure(); return Collection<QueryDef>::Count(); }
    auto begin() { ensure(); return items().begin(); }
    auto end() { ensure(); return items().end(); }

private:
    friend class Database;
    friend class QueryDef;
    void ensure();
    std::weak_ptr<Database> m_db;
    std::uint64_t m_generation = 0;
};

} // namespace dao
