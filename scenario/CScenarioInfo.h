#pragma once
// CScenarioInfo: the identifying texts of one scenario of the scenario list,
// carried to the operations on the selected scenario (run, edit, duplicate,
// delete, code generation). Six texts, each initially empty, stored as given.
#include <string>
#include <utility>

class CScenarioInfo {
public:
    std::string ScenarioID() const { return m_ScenarioID; }   // the scenario number, as text
    void SetScenarioID(std::string value) { m_ScenarioID = std::move(value); }
    std::string ScenType() const { return m_ScenType; }       // the analysis type name
    void SetScenType(std::string value) { m_ScenType = std::move(value); }
    std::string Desc() const { return m_Desc; }               // the scenario's description
    void SetDesc(std::string value) { m_Desc = std::move(value); }
    std::string Table() const { return m_Table; }             // the source table or query
    void SetTable(std::string value) { m_Table = std::move(value); }
    std::string OutputTable1() const { return m_OutputTable1; }
    void SetOutputTable1(std::string value) { m_OutputTable1 = std::move(value); }
    std::string OutputTable2() const { return m_OutputTable2; }
    void SetOutputTable2(std::string value) { m_OutputTable2 = std::move(value); }

private:
    std::string m_ScenarioID;
    std::string m_ScenType;
    std::string m_Desc;
    std::string m_Table;
    std::string m_OutputTable1;
    std::string m_OutputTable2;
};
