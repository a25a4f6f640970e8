#pragma once
// A table definition: made with CreateTableDef, given fields and indexes,
// and stored when appended to the database's TableDefs.
#include "db/Collection.h"
#include "db/Field.h"
#include "db/Index.h"
#include "db/Property.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dao {

class Connection;

class TableDef : public std::enable_shared_from_this<TableDef> {
public:
    explicit TableDef(std::string name = {}, long attributes = 0);

    const std::string& Name() const noexcept { return m_name; }
    void SetName(const std::string& name);
    long Attributes() const noexcept { return m_attributes; }
    bool IsStored() const noexcept { return m_stored; }

    dao::Fields& Fields();
    dao::Indexes& Indexes();
    dao::Properties& Properties();

    FieldPtr CreateField(const std::string& name = {}, int type = 0, long size = 0) const;
    IndexPtr CreateIndex(const std::string& name = {}) const;
    PropertyPtr CreateProperty(const std::string& name, int type, const Variant& value) const;

    // Number of rows of a stored table.
    long RecordCount() const;

private:
    friend class TableDefs;
    void attach(const std::shared_ptr<Connection>& conn);
    void loadFields();
    void loadIndexes();
    void appendIndex(const IndexPtr& idx);
    void deleteIndex(const std::string& name);
    static std::vector<std::pair<IndexPtr, std::string>> fileIndexes(Connection& c, const std::string& table);
    void loadProperties();
    std::shared_ptr<Connection> conn() const;

    std::string m_name;
    long m_attributes;
    bool m_stored = false;
    bool m_fieldsLoaded = true;
    bool m_indexesLoaded = true;
    bool m_propertiesLoaded = true;
    dao::Fields m_fields;
    dao::Indexes m_indexes;
    dao::Properties m_properties;
    std::weak_ptr<Connection> m_conn;
};
using TableDefPtr = std::shared_ptr<TableDef>;

class TableDefs : public Collection<TableDef> {
public:
    // Why a table may not take this name (brackets, ".", "!", "`", a control
    // character, a leading blank, more than 64 characters): error 3125's
    // text; empty for a name Append accepts.
    static std::string NameFault(const std::string& name);
    // Creates the table in the database; the definition becomes the stored table.
    void Append(const TableDefPtr& td);
    // Drops a table; error 3265 when there is none of that name.
    void Delete(std::string_view name);
    void Refresh();

    TableDefPtr operator()(int index) { ensure(); return Collection<TableDef>::operator()(index); }
    TableDefPtr operator()(std::string_view name) { ensure(); return Collection<TableDef>::operator()(name); }
    TableDefPtr Find(std::string_view name) { ensure(); return Collection<TableDef>::Find(name); }
    int Count() { ensure(); return Collection<TableDef>::Count(); }
    auto begin() { ensure(); return items().begin(); }
    auto end() { ensure(); return items().end(); }

private:
    friend class Database;
    void ensure();
    std::weak_ptr<Connection> m_conn;
    std::uint64_t m_generation = 0;
};

} // namespace dao
