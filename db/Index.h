#pragma once
// An index of a table definition: its name, its fields in order, and whether
// it is the primary key or unique.
#include "db/Collection.h"
#include "db/Field.h"
#include "db/Property.h"

#include <memory>
#include <string>

namespace dao {

class Index {
public:
    explicit Index(std::string name = {}) : m_name(std::move(name)) {}

    const std::string& Name() const noexcept { return m_name; }
    void SetName(const std::string& n) {
        m_name = n;
        detail::NoteItemRename();
    }
    bool Primary() const noexcept { return m_primary; }
    void SetPrimary(bool v) { m_primary = v; }
    bool Unique() const noexcept { return m_unique || m_primary; }
    void SetUnique(bool v) { m_unique = v; }
    bool Required() const noexcept { return m_required || m_primary; }
    void SetRequired(bool v) { m_required = v; }
    bool IgnoreNulls() const noexcept { return m_ignoreNulls; }
    void SetIgnoreNulls(bool v) { m_ignoreNulls = v; }

    dao::Fields& Fields() { return m_fields; }
    const dao::Fields& Fields() const { return m_fields; }
    // An index field: only its name (and dbDescending = 1 in Attributes) matter.
    FieldPtr CreateField(const std::string& name, int type = 0, long size = 0) const;

private:
    friend class TableDef;
    std::string m_name;
    bool m_primary = false;
    bool m_unique = false;
    bool m_required = false;
    bool m_ignoreNulls = false;
    dao::Fields m_fields;
};
using IndexPtr = std::shared_ptr<Index>;

class Indexes : public Collection<Index> {
public:
    void Append(const IndexPtr& idx);
    void Delete(std::string_view name);
    void Refresh() {}

private:
    friend class TableDef;
    std::function<void(const IndexPtr&)> onAppend;
    std::function<void(const std::string&)> onDelete;
    void appendLoaded(const IndexPtr& idx) { pushItem(idx); }
    void clear() { clearItems(); }
};

} // namespace dao
