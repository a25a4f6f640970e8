#include "scenario/ScenarioTables.h"

#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "errors/ProcGuard.h"
#include "errors/RunTimeError.h"
#include "platform/MessageBox.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioOptions.h"

#include <iterator>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace {

using namespace dao;

// AllowZeroLength of a column: left as the object model gives it, or set.
enum ZeroLength { kUnset, kAzlFalse, kAzlTrue };

// One column as it is created: name, type code and size, then the settings
// that are given (null: not set) and the text of its "Description" property
// (null: none).
struct ColumnDef {
    const char* name;
    int type;
    long size;
    long attributes;
    ZeroLength allowZeroLength;
    const char* defaultValue;
    const char* validationRule;
    const char* validationText;
    const char* description;
};

const ColumnDef kScenarioColumns[] = {
    {"Scenario_ID", dbLong, 4, dbAutoIncrField, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"SortOrder", dbInteger, 2, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Description", dbText, 255, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Analysis_Type", dbText, 1, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Analysis_SubType", dbText, 30, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Input_Table_Name", dbText, kTableNameSize, 0, kAzlTrue, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Output_Table1_Name", dbText, 50, 0, kAzlTrue, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Output_Table2_Name", dbText, 64, 0, kAzlTrue, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_Version", dbText, 5, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_DateCreated", dbDate, 8, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_LastModified", dbDate, 8, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_CreatedBy", dbText, 15, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"Scenario_ModifiedBy", dbText, 50, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"MissingType", dbText, 1, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"MissingEqual", dbDouble, 8, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"MissingLow", dbDouble, 8, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"MissingHigh", dbDouble, 8, 0, kUnset, nullptr, nullptr, nullptr, nullptr},
    {"PageLockField1", dbText, 255, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"PageLockField2", dbText, 255, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"PageLockField3", dbText, 255, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
    {"PageLockField4", dbText, 255, 0, kAzlFalse, nullptr, nullptr, nullptr, nullptr},
};

// Scenario_ID, then one column per option of the scenario option list.
std::vector<ColumnDef> optionsColumns() {
    std::vector<ColumnDef> columns = {
        {"Scenario_ID", dbLong, 4, dbAutoIncrField, kUnset, nullptr, nullptr, nullptr, "Scenario ID"}};
    for (const ScenarioOption& o : ScenarioOptions())
        columns.push_back({o.Column, o.ColumnType, o.Size, 0, o.ColumnType == dbText ? kAzlFalse : kUnset,
                           o.DefaultValue, o.ValidationRule, o.ValidationText, o.Description});
    return columns;
}

const ColumnDef kFieldsColumns[] = {
    {"Scenario_ID", dbLong, 4, 0, kUnset, nullptr, nullptr, nullptr, "Scenario ID"},
    {"FieldDef_Name", dbText, kFieldNameSize, 0, kAzlFalse, nullptr, nullptr, nullptr, "Field Name"},
    {"FieldDef_Ordinal_Position", dbInteger, 2, 0, kUnset, nullptr, nullptr, nullptr, "The field's ordinal position in the set"},
    {"FieldDef_Choice", dbText, 1, 0, kAzlFalse, nullptr, nullptr, nullptr, "Field assignment type (X, Y, etc.)"},
};

InitializeDatabaseAsker& asker() {
    static InitializeDatabaseAsker a;
    return a;
}

ScenarioTablesPointerHook& pointerHook() {
    static ScenarioTablesPointerHook h;
    return h;
}

void setPointer(int pointer) noexcept {
    try {
        if (pointerHook()) pointerHook()(pointer);
    } catch (...) {
        // the pointer is cosmetic; a failing hook must not stop the caller
    }
}

Database& databaseOf(const DatabasePtr& db) {
    if (!db) throw RunTimeError(rterr::ObjectNotSet);
    return *db;
}

// True when the database has a table of that name. Any failure of the lookup
// (no database, a closed one, an unreadable catalogue) counts as a missing
// table.
bool tableExists(const DatabasePtr& db, const char* name) noexcept {
    try {
        return db && db->TableDefs().Find(name) != nullptr;
    } catch (...) {
        return false;
    }
}

// Creates each column with its name, type code and size, then sets, where
// given and in this order, Attributes, AllowZeroLength, DefaultValue,
// ValidationRule and ValidationText, and appends it to the definition.
void appendColumns(TableDef& td, std::span<const ColumnDef> columns) {
    int ordinal = 0;
    for (const ColumnDef& c : columns) {
        FieldPtr f = td.CreateField(c.name, c.type, c.size);
        // Ordinal positions follow the order of the columns, from 0.
        f->SetOrdinalPosition(ordinal++);
        if (c.attributes != 0) f->SetAttributes(c.attributes);
        if (c.allowZeroLength != kUnset) f->SetAllowZeroLength(c.allowZeroLength == kAzlTrue);
        if (c.defaultValue) f->SetDefaultValue(c.defaultValue);
        if (c.validationRule) f->SetValidationRule(c.validationRule);
        if (c.validationText) f->SetValidationText(c.validationText);
        td.Fields().Append(f);
    }
}

// An index on the given fields (ascending), primary or plain.
void appendIndex(TableDef& td, const char* name, std::initializer_list<const char*> fields, bool primary) {
    IndexPtr idx = td.CreateIndex(name);
    for (const char* f : fields) idx->Fields().Append(idx->CreateField(f));
    if (primary) idx->SetPrimary(true);
    td.Indexes().Append(idx);
}

// Looks the stored table up again and gives each column that has one its
// "Description" property (Text).
void appendDescriptions(Database& db, const char* table, std::span<const ColumnDef> columns) {
    TableDefPtr td = db.TableDefs()(table);
    for (const ColumnDef& c : columns) {
        if (!c.description) continue;
        FieldPtr f = td->Fields()(c.name);
        f->Properties().Append(f->CreateProperty("Description", dbText, Variant(c.description)));
    }
}

} // namespace

InitializeDatabaseAsker SetInitializeDatabaseAsker(InitializeDatabaseAsker a) {
    return std::exchange(asker(), std::move(a));
}

ScenarioTablesPointerHook SetScenarioTablesPointerHook(ScenarioTablesPointerHook hook) {
    return std::exchange(pointerHook(), std::move(hook));
}

std::string InitializeDatabaseMessage() {
    const std::string crlf = "\r\n";
    return "This is the first time you have opened this database for use with Varnello." + crlf + crlf +
           "The Scenario information tables must be created in your database in order for Varnello to work. " +
           crlf + crlf + "Would you like to add the Varnello scenario tables to this database?";
}

bool CheckQuorbTables() {
    ProcGuard proc(gErr, "CheckQuorbTables");
    bool result = false;
    // From here on errors are ignored: a failure leaves the result False.
    try {
        bool allPresent = true;
        for (const char* name : {kScenarioTableName, kOptionsTableName, kFieldsTableName}) {
            if (!tableExists(gdbCurrent, name)) {
                allPresent = false;
                break;
            }
        }
        if (allPresent) return true;

        InitializeDatabaseQuestion q;
        q.Caption = "Initialize Database";
        q.Message = InitializeDatabaseMessage();
        q.Style = vbYesNo;
        q.DisplayHelpButton = true;
        q.HelpID = 220;
        int response = asker() ? asker()(q) : MsgBox(q.Message, q.Style, q.Caption);
        if (response == vbYes) result = CreateScenarioTables();
    } catch (...) {
        // ignored, as every error of this routine after its registration
    }
    return result;
}

bool CreateScenarioTables() { return CreateScenarioTables(gdbCurrent); }

bool CreateScenarioTables(const DatabasePtr& db) {
    ProcGuard proc(gErr, "CreateScenarioTables");
    setPointer(11);
    bool result = true;
    try {
        // The file's write lock first: another designer opening the same
        // database may be making the tables right now. Its tables are then
        // waited for and found below, and the three are made as one change,
        // all or none.
        std::optional<TransactionGuard> tx;
        if (db && db->IsOpen())
            if (WorkspacePtr ws = db->OwningWorkspace()) tx.emplace(*ws, *db);
        // Only the tables that are missing are built, so that a database that
        // holds some of them gets the rest instead of failing at the first one
        // that exists.
        if (!tableExists(db, kScenarioTableName)) result = BuildScenarioTable(db);
        if (result && !tableExists(db, kOptionsTableName)) result = BuildScenarioOptionsTable(db);
        if (result && !tableExists(db, kFieldsTableName)) result = BuildScenarioFieldsTable(db);
        if (result && tx) tx->Commit();
    } catch (...) {
        proc.HandleError();
        result = false;
    }
    setPointer(0);
    return result;
}

bool BuildScenarioTable() { return BuildScenarioTable(gdbCurrent); }

bool BuildScenarioTable(const DatabasePtr& db) {
    ProcGuard proc(gErr, "BuildScenarioTable");
    try {
        TableDefPtr td = databaseOf(db).CreateTableDef(kScenarioTableName);
        appendColumns(*td, kScenarioColumns);
        appendIndex(*td, "PrimaryKey", {"Scenario_ID"}, true);
        db->TableDefs().Append(td);
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}

bool BuildScenarioOptionsTable() { return BuildScenarioOptionsTable(gdbCurrent); }

bool BuildScenarioOptionsTable(const DatabasePtr& db) {
    ProcGuard proc(gErr, "BuildScenarioOptionsTable");
    try {
        TableDefPtr td = databaseOf(db).CreateTableDef(kOptionsTableName);
        const std::vector<ColumnDef> columns = optionsColumns();
        appendColumns(*td, columns);
        appendIndex(*td, "PrimaryKey", {"Scenario_ID"}, true);
        db->TableDefs().Append(td);
        appendDescriptions(*db, kOptionsTableName, columns);
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}

bool BuildScenarioFieldsTable() { return BuildScenarioFieldsTable(gdbCurrent); }

bool BuildScenarioFieldsTable(const DatabasePtr& db) {
    ProcGuard proc(gErr, "BuildScenarioFieldsTable");
    try {
        TableDefPtr td = databaseOf(db).CreateTableDef(kFieldsTableName);
        appendColumns(*td, kFieldsColumns);
        appendIndex(*td, "PrimaryKey", {"Scenario_ID", "FieldDef_Name"}, true);
        appendIndex(*td, "IX_Scenario_ID", {"Scenario_ID"}, false);
        db->TableDefs().Append(td);
        appendDescriptions(*db, kFieldsTableName, kFieldsColumns);
        return true;
    } catch (...) {
        proc.HandleError();
        return false;
    }
}

std::string GetScenOptionSQL(std::int32_t scenarioId) {
    ProcGuard proc(gErr, "GetScenOptionSQL");
    std::string result;
    try {
        std::string sql =
            "SELECT  * FROM [usysQuorbScenarios] INNER JOIN [usysQuorbOptions] ON "
            "[usysQuorbScenarios].Scenario_ID = [usysQuorbOptions].Scenario_ID ";
        if (scenarioId != 0) sql += "WHERE [usysQuorbScenarios].Scenario_ID=" + std::to_string(scenarioId);
        result = std::move(sql);
    } catch (...) {
        proc.HandleError();
    }
    return result;
}

std::string GetFieldListSQL(std::int32_t scenarioId) {
    ProcGuard proc(gErr, "GetFieldListSQL");
    std::string result;
    try {
        std::string sql = "SELECT * FROM [usysQuorbFields] WHERE Scenario_ID=" + std::to_string(scenarioId) +
                          " order by FieldDef_Choice, FieldDef_Ordinal_Position";
        result = std::move(sql);
    } catch (...) {
        proc.HandleError();
    }
    return result;
}
