#include "scenario/CScenarioFields.h"

#include "db/DaoError.h"
#include "errors/RunTimeError.h"

#include <string_view>

CScenarioFields::FieldPtr CScenarioFields::Add(const std::string& fieldName, const std::string& choice,
                                               const std::string& fieldType, std::int32_t ordinalPosition,
                                               const std::string& key) {
    auto field = std::make_shared<CScenarioField>();
    field->SetFieldName(fieldName);
    field->SetChoice(choice);
    std::int32_t type = 0;
    try {
        type = dao::Variant(fieldType).ToLong();
    } catch (const dao::DaoError& e) {
        // type mismatch (13) or overflow (6), raised as this layer's error
        throw RunTimeError(e.Number(), e.Description());
    }
    field->SetFieldType(type);
    field->SetOrdinalPosition(ordinalPosition);
    m_fields.Add(field, key); // a key in use raises 457 and the field is dropped
    return field;
}

const CScenarioFields::FieldPtr& CScenarioFields::ItemAt(long position) const { return m_fields.Item(position); }
const CScenarioFields::FieldPtr& CScenarioFields::Item(const std::string& key) const {
    return m_fields.Item(std::string_view(key));
}
const CScenarioFields::FieldPtr& CScenarioFields::Item(const char* key) const {
    return m_fields.Item(std::string_view(key));
}
const CScenarioFields::FieldPtr& CScenarioFields::Item(const dao::Variant& index) const {
    return m_fields.Item(index);
}

long CScenarioFields::Count() const noexcept { return m_fields.Count(); }

void CScenarioFields::RemoveAt(long position) { m_fields.Remove(position); }
void CScenarioFields::Remove(const std::string& key) { m_fields.Remove(std::string_view(key)); }
void CScenarioFields::Remove(const char* key) { m_fields.Remove(std::string_view(key)); }
void CScenarioFields::Remove(const dao::Variant& index) { m_fields.Remove(index); }

void CScenarioFields::Clear() noexcept { m_fields.Clear(); }
