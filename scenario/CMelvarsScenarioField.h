#pragma once
// CMelvarsScenarioField: one field assignment of a scenario held by the
// engine: the name of a field of the source table or query and its role
// letter ("G" group, "C" compare or column, "X", "Y", "W" weight). Both start
// empty and are stored as given, without any check.
#include <string>
#include <utility>

class CMelvarsScenarioField {
public:
    void SetChoice(std::string value) { m_Choice = std::move(value); }
    std::string Choice() const { return m_Choice; }
    void SetField_Name(std::string value) { m_Field_Name = std::move(value); }
    std::string Field_Name() const { return m_Field_Name; }

private:
    std::string m_Choice;
    std::string m_Field_Name;
};
