#include "support/ScenarioFixture.h"

#include "scenario/AppDatabase.h"
#include "scenario/ScenarioSave.h"
#include "scenario/ScenarioTables.h"

#include <map>

namespace vtest {

bool CreateScenarioTablesIn(const dao::DatabasePtr& db) { return CreateScenarioTables(db); }

std::int32_t StoreScenario(dao::Database& db, const ScenarioSpec& spec) {
    ScenarioRows rows;
    const double now = dao::Now();
    rows.Header = {
        {"SortOrder", spec.sortOrder},
        {"Scenario_Description", spec.description},
        {"Scenario_Analysis_Type", spec.analysisType},
        {"Scenario_Analysis_SubType", spec.subType},
        {"Scenario_Input_Table_Name", spec.inputTable},
        {"Scenario_Output_Table1_Name", spec.outputTable1},
        {"Scenario_Output_Table2_Name", spec.outputTable2},
        {"Scenario_Version", spec.version},
        {"Scenario_DateCreated", dao::Variant::Date(now)},
        {"Scenario_LastModified", dao::Variant::Date(now)},
        {"Scenario_CreatedBy", spec.createdBy},
        {"Scenario_ModifiedBy", spec.createdBy},
        {"MissingType", spec.missingType},
    };
    if (!spec.missingEqual.IsEmpty()) rows.Header.emplace_back("MissingEqual", spec.missingEqual);
    if (!spec.missingLow.IsEmpty()) rows.Header.emplace_back("MissingLow", spec.missingLow);
    if (!spec.missingHigh.IsEmpty()) rows.Header.emplace_back("MissingHigh", spec.missingHigh);
    const std::string blanks(255, ' ');
    for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
        rows.Header.emplace_back(lock, blanks);
    if (spec.writeOptionsRow) rows.Options = spec.options;
    std::map<std::string, std::int16_t> placeInRole;
    for (const auto& f : spec.fields) {
        std::int16_t place = ++placeInRole[f.choice];
        rows.Fields.push_back({f.name, f.choice, f.ordinal != 0 ? f.ordinal : place});
    }
    ScenarioSaveResult saved = WriteScenarioRows(db, 0, rows);
    if (!saved.Saved) throw dao::DaoError(dao::err::InvalidOperation, saved.Message);
    return saved.ScenarioID;
}

std::pair<std::int32_t, std::int32_t> MakeDescribeAndChiSquareFile(const std::string& path, double offset) {
    using namespace dao;
    auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
    if (!CreateScenarioTablesIn(db)) throw DaoError(0, "The scenario tables could not be made in " + path);
    auto td = db->CreateTableDef("Data");
    td->Fields().Append(td->CreateField("G", dbText, 5));
    td->Fields().Append(td->CreateField("X", dbDouble));
    db->TableDefs().Append(td);
    auto rs = db->OpenRecordset("Data", dbOpenDynaset);
    for (int i = 1; i <= 9; ++i) {
        rs->AddNew();
        rs->Fields("G")->SetValue(i <= 4 ? "a" : "b");
        rs->Fields("X")->SetValue(offset + i);
        rs->Update();
    }
    rs->Close();
    ScenarioSpec d;
    d.subType = "Describe";
    d.inputTable = "Data";
    d.outputTable1 = "OutD";
    d.options = {{"Mean", true}, {"Percentile", true}, {"PercentileRadio", "Median"}};
    d.fields = {{"G", "G"}, {"X", "X"}};
    const std::int32_t describe = StoreScenario(*db, d);
    ScenarioSpec c;
    c.analysisType = "N";
    c.subType = "Chi-Square";
    c.inputTable = "Data";
    c.outputTable1 = "OutC";
    c.outputTable2 = "OutC2";
    c.options = {{"ChiAll", false}, {"ChiDetail", true}, {"ChiIgnoreBlanks", false}};
    c.fields = {{"G", "C"}};
    const std::int32_t chi = StoreScenario(*db, c);
    db->Close();
    return {describe, chi};
}

} // namespace vtest
