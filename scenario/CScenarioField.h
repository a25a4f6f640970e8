#pragma once
// CScenarioField: one field of the source table or query of the scenario the
// designer is editing: its name, its role letter ("G", "C", "X", "Y", "W", or
// empty for a field without a role), the database engine's type code of the
// field, and its place among the fields of the same role (from 1; 0 without a
// role). All start empty and are stored as given.
#include <cstdint>
#include <string>
#include <utility>

class CScenarioField {
public:
    void SetChoice(std::string value) { m_Choice = std::move(value); }
    std::string Choice() const { return m_Choice; }
    void SetFieldType(std::int32_t value) noexcept { m_FieldType = value; }
    std::int32_t FieldType() const noexcept { return m_FieldType; }
    void SetOrdinalPosition(std::int32_t value) noexcept { m_OrdinalPosition = value; }
    std::int32_t OrdinalPosition() const noexcept { return m_OrdinalPosition; }
    void SetFieldName(std::string value) { m_FieldName = std::move(value); }
    std::string FieldName() const { return m_FieldName; }

private:
    std::string m_Choice;
    std::int32_t m_FieldType = 0;
    std::int32_t m_OrdinalPosition = 0;
    std::string m_FieldName;
};
