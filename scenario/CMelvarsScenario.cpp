#include "scenario/CMelvarsScenario.h"

CMelvarsScenario::FieldPtr CMelvarsScenario::AddField(const std::string& name, const std::string& choice,
                                                      const std::string& key) {
    auto field = std::make_shared<CMelvarsScenarioField>();
    field->SetField_Name(name);
    field->SetChoice(choice);
    if (key.empty())
        m_fields.Add(field);
    else
        m_fields.Add(field, key); // a key in use raises 457 and the new field is dropped
    return field;
}

void CMelvarsScenario::SetScenario_Type(const std::string& value) {
    if (value == "P" || value == "G" || value == "N") m_Scenario_Type = value;
}

const CMelvarsScenario::FieldPtr& CMelvarsScenario::ItemAt(long position) const { return m_fields.Item(position); }
const CMelvarsScenario::FieldPtr& CMelvarsScenario::Item(const std::string& key) const {
    return m_fields.Item(std::string_view(key));
}
const CMelvarsScenario::FieldPtr& CMelvarsScenario::Item(const char* key) const {
    return m_fields.Item(std::string_view(key));
}
const CMelvarsScenario::FieldPtr& CMelvarsScenario::Item(const dao::Variant& index) const {
    return m_fields.Item(index);
}

long CMelvarsScenario::FieldCount() const noexcept { return m_fields.Count(); }

void CMelvarsScenario::RemoveAt(long position) { m_fields.Remove(position); }
void CMelvarsScenario::Remove(const std::string& key) { m_fields.Remove(std::string_view(key)); }
void CMelvarsScenario::Remove(const char* key) { m_fields.Remove(std::string_view(key)); }
void CMelvarsScenario::Remove(const dao::Variant& index) { m_fields.Remove(index); }
