#pragma once
// A column: in a table definition it carries the column's definition; in a
// recordset it also reads and writes the value of the current record.
#include "db/Collection.h"
#include "db/FieldInfo.h"
#include "db/Property.h"
#include "db/Variant.h"

#include <memory>
#include <string>

namespace dao {

class Recordset;
class Connection;

class Field {
public:
    explicit Field(FieldInfo info = {});

    const std::string& Name() const noexcept { return m_info.name; }
    void SetName(const std::string& name);
    int Type() const noexcept { return m_info.type; }
    void SetType(int type);
    long Size() const noexcept { return m_info.size; }
    void SetSize(long size);
    long Attributes() const noexcept { return m_info.attributes; }
    void SetAttributes(long attributes);
    bool AllowZeroLength() const noexcept { return m_info.allowZeroLength; }
    void SetAllowZeroLength(bool v);
    bool Required() const noexcept { return m_info.required; }
    void SetRequired(bool v);
    const std::string& DefaultValue() const noexcept { return m_info.defaultValue; }
    void SetDefaultValue(const std::string& v);
    const std::string& ValidationRule() const noexcept { return m_info.validationRule; }
    void SetValidationRule(const std::string& v);
    const std::string& ValidationText() const noexcept { return m_info.validationText; }
    void SetValidationText(const std::string& v);
    int OrdinalPosition() const noexcept { return m_info.ordinalPosition; }
    void SetOrdinalPosition(int v);
    long CollatingOrder() const noexcept { return m_info.collatingOrder; }
    const std::string& SourceTable() const noexcept { return m_info.sourceTable; }
    const std::string& SourceField() const noexcept { return m_info.sourceField; }

    dao::Properties& Properties() { return m_properties; }
    PropertyPtr CreateProperty(const std::string& name, int type, const Variant& value) const;

    // Value of the current record (recordset fields only).
    Variant Value() const;
    // The value of the current record as Value().ToDouble() gives it, read
    // without a Variant where it can be (the loops over many records); false
    // for Null, leaving x as it was.
    bool ValueAsDouble(double& x) const;
    void SetValue(const Variant& v);
    Field& operator=(const Variant& v) { SetValue(v); return *this; }
    operator Variant() const { return Value(); }

    const FieldInfo& Info() const noexcept { return m_info; }

private:
    friend class Recordset;
    friend class TableDef;
    friend class Fields;
    friend class QueryDef;
    friend class TableDefs;
    void checkUnattached() const;

    FieldInfo m_info;
    dao::Properties m_properties;
    std::weak_ptr<Recordset> m_recordset;
    int m_column = -1;
    bool m_attached = false; // belongs to a stored table: definition is fixed
};
using FieldPtr = std::shared_ptr<Field>;

class Fields : public Collection<Field> {
public:
    // Appends a field to a definition; on a stored table the column is added to the table.
    void Append(const FieldPtr& f);
    void Delete(std::string_view name);
    void Refresh() {}

    std::function<void(const FieldPtr&)> onAppend;
    std::function<void(const std::string&)> onDelete;

private:
    friend class TableDef;
    friend class Recordset;
    friend class Index;
    friend class QueryDef;
    void appendLoaded(const FieldPtr& f) { pushItem(f); }
    void clear() { clearItems(); }
};

} // namespace dao
