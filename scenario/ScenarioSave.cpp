#include "scenario/ScenarioSave.h"

#include "db/Dao.h"
#include "scenario/ScenarioTables.h"

#include <exception>

using namespace dao;

namespace {

// Null for an empty text, the text otherwise.
Variant nullIfEmpty(const std::string& text) { return text.empty() ? Variant::Null() : Variant(text); }

// Null for Null, Empty and the empty text; a text travels as it is (the
// column converts it), a number as a number.
Variant nullIfBlank(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return Variant::Null();
    if (v.IsString()) return nullIfEmpty(v.RawString());
    return v;
}

void writeColumns(Recordset& rs, const ScenarioColumnValues& values) {
    for (const auto& [column, value] : values) rs.Fields(column)->SetValue(value);
}

std::string idCriterion(std::int32_t id) { return "[Scenario_ID] = " + std::to_string(id); }

// The user name cut to the characters its column keeps (Scenario_CreatedBy
// keeps 15; a workgroup's user names may be longer): a longer name must not
// stop every save of its user. The cut falls between two characters.
std::string userNameFor(Database& db, const char* column, const std::string& user) {
    long size = 0;
    try {
        if (TableDefPtr td = db.TableDefs().Find(kScenarioTableName))
            if (FieldPtr f = td->Fields().Find(column)) size = f->Type() == dbText ? f->Size() : 0;
    } catch (const DaoError&) {
        // A table that cannot be read fails the save with its own message.
    }
    return size > 0 ? LeftChars(user, static_cast<std::size_t>(size)) : user;
}

} // namespace

ScenarioSaveResult WriteScenarioRows(Database& db, std::int32_t scenarioId, const ScenarioRows& rows) {
    ScenarioSaveResult result;
    try {
        WorkspacePtr ws = db.OwningWorkspace();
        if (!ws) throw DaoError(err::InvalidOperation, "The database has no open workspace.");
        // The file's write lock first: the rows are read before they are written.
        TransactionGuard tx(*ws, db);
        std::int32_t id = scenarioId;
        {
            RecordsetPtr rs = db.OpenRecordset(kScenarioTableName, dbOpenDynaset);
            if (id == 0) {
                rs->AddNew();
            } else {
                rs->FindFirst(idCriterion(id));
                if (rs->NoMatch()) throw DaoError(err::InvalidOperation, "Scenario not found: " + std::to_string(id));
                rs->Edit();
            }
            writeColumns(*rs, rows.Header);
            rs->Update();
            if (id == 0) {
                rs->SetBookmark(rs->LastModified());
                id = rs->Fields("Scenario_ID")->Value().ToLong();
            }
            rs->Close();
        }
        if (rows.Options) {
            RecordsetPtr rs = db.OpenRecordset(kOptionsTableName, dbOpenDynaset);
            bool found = false;
            if (scenarioId != 0) {
                rs->FindFirst(idCriterion(id));
                found = !rs->NoMatch();
            }
            if (found) {
                rs->Edit();
            } else {
                rs->AddNew();
                rs->Fields("Scenario_ID")->SetValue(id);
            }
            writeColumns(*rs, *rows.Options);
            rs->Update();
            rs->Close();
        }
        db.Execute("DELETE * FROM [usysQuorbFields] WHERE [Scenario_ID] = " + std::to_string(id));
        {
            RecordsetPtr rs = db.OpenRecordset(kFieldsTableName, dbOpenDynaset);
            for (const ScenarioFieldRow& f : rows.Fields) {
                if (f.Choice.empty()) continue;
                rs->AddNew();
                rs->Fields("Scenario_ID")->SetValue(id);
                rs->Fields("FieldDef_Ordinal_Position")->SetValue(f.OrdinalPosition);
                rs->Fields("FieldDef_Name")->SetValue(f.FieldName);
                rs->Fields("FieldDef_Choice")->SetValue(f.Choice);
                rs->Update();
            }
            rs->Close();
        }
        tx.Commit();
        result.Saved = true;
        result.ScenarioID = id;
    } catch (const DaoError& e) {
        result.Message = e.Description();
    } catch (const std::exception& e) {
        result.Message = e.what();
    } catch (...) {
        result.Message = "The scenario could not be saved.";
    }
    return result;
}

ScenarioSaveResult SaveScenario(Database& db, std::int32_t scenarioId, const CMelvarsScenario& s,
                                std::int16_t sortOrder, const std::vector<ScenarioFieldRow>& fields,
                                const std::string& userName) {
    const bool isNew = scenarioId == 0;
    const char* const userColumn = isNew ? "Scenario_CreatedBy" : "Scenario_ModifiedBy";
    ScenarioRows rows;
    rows.Header = {
        {"SortOrder", sortOrder},
        {"Scenario_Description", nullIfEmpty(s.Scenario_Description())},
        {"Scenario_Analysis_Type", s.Scenario_Type()},
        {"Scenario_Analysis_SubType", s.CalcType()},
        {"Scenario_Input_Table_Name", s.Table()},
        {"Scenario_Output_Table1_Name", s.OutputTable1()},
        {"Scenario_Output_Table2_Name", s.OutputTable2()},
        {"Scenario_Version", "V5   "},
        {isNew ? "Scenario_DateCreated" : "Scenario_LastModified", Variant::Date(Now())},
        {userColumn, userNameFor(db, userColumn, userName)},
        {"MissingType", nullIfEmpty(s.MissingType())},
        {"MissingEqual", nullIfBlank(s.MissingEqual())},
        {"MissingLow", nullIfBlank(s.MissingLow())},
        {"MissingHigh", nullIfBlank(s.MissingHigh())},
    };
    const std::string blanks(255, ' ');
    for (const char* lock : {"PageLockField1", "PageLockField2", "PageLockField3", "PageLockField4"})
        rows.Header.emplace_back(lock, blanks);
    rows.Options = ScenarioOptionValues(s);
    rows.Fields = fields;
    return WriteScenarioRows(db, scenarioId, rows);
}

std::vector<ScenarioFieldRow> NumberedFields(const CMelvarsScenario& s) {
    std::vector<ScenarioFieldRow> rows;
    for (const CMelvarsScenarioField& f : s) {
        std::int32_t place = 1;
        for (const ScenarioFieldRow& r : rows)
            if (r.Choice == f.Choice()) ++place;
        rows.push_back({f.Field_Name(), f.Choice(), place});
    }
    return rows;
}

CMelvarsScenario NewScenarioDefaults() {
    CMelvarsScenario s;
    s.SetMissingType("0");
    SetNewScenarioOptions(s);
    return s;
}
