#include "db/Field.h"

#include "db/DaoConstants.h"
#include "db/DaoError.h"

namespace dao {

Field::Field(FieldInfo info) : m_info(std::move(info)) {}

void Field::checkUnattached() const {
    if (m_attached) throw DaoError(err::InvalidOperation, "Invalid operation.");
}

void Field::SetName(const std::string& name) {
    checkUnattached();
    m_info.name = name;
    detail::NoteItemRename();
}

void Field::SetType(int type) {
    checkUnattached();
    m_info.type = type;
    if (type != dbText) m_info.size = DefaultFieldSize(type);
    else if (m_info.size == 0) m_info.size = 50;
    m_info.attributes = (type == dbText || type == dbMemo || type == dbBinary || type == dbLongBinary) ? dbVariableField
                                                                                                     : dbFixedField;
}

void Field::SetSize(long size) {
    checkUnattached();
    if (m_info.type == dbText && (size < 1 || size > 255))
        throw DaoError(3001, "Invalid argument.");
    m_info.size = size;
}

void Field::SetAttributes(long attributes) {
    checkUnattached();
    m_info.attributes = attributes;
}
void Field::SetAllowZeroLength(bool v) { checkUnattached(); m_info.allowZeroLength = v; }
void Field::SetRequired(bool v) { checkUnattached(); m_info.required = v; }
void Field::SetDefaultValue(const std::string& v) { checkUnattached(); m_info.defaultValue = v; }
void Field::SetValidationRule(const std::string& v) { checkUnattached(); m_info.validationRule = v; }
void Field::SetValidationText(const std::string& v) { checkUnattached(); m_info.validationText = v; }
void Field::SetOrdinalPosition(int v) { checkUnattached(); m_info.ordinalPosition = v; }

PropertyPtr Field::CreateProperty(const std::string& name, int type, const Variant& value) const {
    return std::make_shared<Property>(name, type, value);
}

void Fields::Append(const FieldPtr& f) {
    if (!f || f->Name().empty()) throw DaoError(3001, "Invalid argument.");
    if (Find(f->Name())) throw DaoError(3191, "Cannot define field '" + f->Name() + "' more than once.");
    if (onAppend) onAppend(f);
    pushItem(f);
}

void Fields::Delete(std::string_view name) {
    int i = IndexOf(name);
    if (i < 0) throw notFound();
    if (onDelete) onDelete(items()[static_cast<std::size_t>(i)]->Name());
    eraseItem(static_cast<std::size_t>(i));
}

} // namespace dao
