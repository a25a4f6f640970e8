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

} // namespace vtest
