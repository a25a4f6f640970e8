#include "support/ScenarioFixture.h"

#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"

#include <map>

namespace vtest {

bool CreateScenarioTablesIn(const dao::DatabasePtr& db) {
    dao::DatabasePtr saved = std::exchange(gdbCurrent, db);
    bool ok = CreateScenarioTables();
    gdbCurrent = std::move(saved);
    return ok;
}

std::int32_t StoreScenario(dao::Database& db, const ScenarioSpec& spec) {
    std::int32_t id = 0;
    {
        auto rs = db.OpenRecordset(kScenarioTableName, dao::dbOpenDynaset);
        rs->AddNew();
        rs->Fields("SortOrder")->SetValue(spec.sortOrder);
        rs->Fields("Scenario_Description")->SetValue(spec.description);
        rs->Fields("Scenario_Analysis_Type")->SetValue(spec.analysisType);
        rs->Fields("Scenario_Analysis_SubType")->SetValue(spec.subType);
        rs->Fields("Scenario_Input_Table_Name")->SetValue(spec.inputTable);
        rs->Fields("Scenario_Output_Table1_Name")->SetValue(spec.outputTable1);
        rs->Fields("Scenario_Output_Table2_Name")->SetValue(spec.outputTable2);
        rs->Fields("Scenario_Version")->SetValue(spec.version);
        double now = dao::Now();
        rs->Fields("Scenario_DateCreated")->SetValue(dao::Variant::Date(now));
        rs->Fields("Scenario_LastModified")->SetValue(dao::Variant::Date(now));
        rs->Fields("Scenario_CreatedBy")->SetValue(spec.createdBy);
        rs->Fields("Scenario_ModifiedBy")->SetValue(spec.createdBy);
        rs->Fields("MissingType")->SetValue(spec.missingType);
        if (!spec.missingEqual.IsEmpty()) rs->Fields("MissingEqual")->SetValue(spec.missingEqual);
        if (!spec.missingLow.IsEmpty()) rs->Fields("MissingLow")->SetValue(spec.missingLow);
        if (!spec.missingHigh.IsEmpty()) rs->Fields("MissingHigh")->SetValue(spec.missingHigh);
        const std::string blanks(255, ' ');
        for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
            rs->Fields(lock)->SetValue(blanks);
        rs->Update();
        rs->SetBookmark(rs->LastModified());
        id = rs->Fields("Scenario_ID")->Value().ToLong();
    }
    if (spec.writeOptionsRow) {
        auto rs = db.OpenRecordset(kOptionsTableName, dao::dbOpenDynaset);
        rs->AddNew();
        rs->Fields("Scenario_ID")->SetValue(id);
        for (const auto& [column, value] : spec.options) rs->Fields(column)->SetValue(value);
        rs->Update();
    }
    if (!spec.fields.empty()) {
        auto rs = db.OpenRecordset(kFieldsTableName, dao::dbOpenDynaset);
        std::map<std::string, std::int16_t> placeInRole;
        for (const auto& f : spec.fields) {
            std::int16_t place = ++placeInRole[f.choice];
            rs->AddNew();
            rs->Fields("Scenario_ID")->SetValue(id);
            rs->Fields("FieldDef_Name")->SetValue(f.name);
            rs->Fields("FieldDef_Ordinal_Position")->SetValue(f.ordinal != 0 ? f.ordinal : place);
            rs->Fields("FieldDef_Choice")->SetValue(f.choice);
            rs->Update();
        }
    }
    return id;
}

} // namespace vtest
