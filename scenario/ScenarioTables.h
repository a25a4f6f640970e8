#pragma once
// The three scenario tables of the user's database as a whole: the test for
// them, their creation through the table-definition object model, and the SQL
// texts with which the application reads a scenario.
//
//   usysQuorbScenarios  one header row per scenario, key Scenario_ID
//                       (auto-increment: the scenario number)
//   usysQuorbOptions    one options row per scenario, key Scenario_ID
//   usysQuorbFields     the field rows, key (Scenario_ID, FieldDef_Name),
//                       second index IX_Scenario_ID
//
// Every routine here works on the application's current database
// (gdbCurrent, AppDatabase.h) and reports unexpected errors to the
// application's error handler (gErr, errors/ErrorGlobals.h), after which it
// returns False (an empty text for the SQL builders).
#include "db/Database.h"

#include <cstdint>
#include <functional>
#include <string>

// Names under which the application stores the tables.
inline constexpr const char* kScenarioTableName = "usysQuorbScenarios";
inline constexpr const char* kOptionsTableName = "usysQuorbOptions";
inline constexpr const char* kFieldsTableName = "usysQuorbFields";
// The characters a field row keeps of a field's name (FieldDef_Name).
inline constexpr long kFieldNameSize = 64;
// The characters a scenario keeps of its input table's or query's name
// (Scenario_Input_Table_Name).
inline constexpr long kTableNameSize = 64;

// ---- the question "Initialize Database" ---------------------------------------
// CheckQuorbTables asks it through a replaceable hook so that this layer needs
// no window system: the application connects its message form, a test answers
// from the test. The hook returns the platform's answer code (6 = Yes, 7 = No).
struct InitializeDatabaseQuestion {
    std::string Caption;            // "Initialize Database"
    std::string Message;            // InitializeDatabaseMessage()
    int Style = 4;                  // Yes and No buttons
    bool DisplayHelpButton = true;
    long HelpID = 220;
};
using InitializeDatabaseAsker = std::function<int(const InitializeDatabaseQuestion& question)>;

// Installs the hook; an empty function removes it. Returns the previous one.
// Without a hook the question goes to the platform message box (MsgBox) with
// Yes and No buttons and the same caption.
InitializeDatabaseAsker SetInitializeDatabaseAsker(InitializeDatabaseAsker asker);

// The text of the question (lines separated by CR LF).
std::string InitializeDatabaseMessage();

// ---- the screen's mouse pointer ---------------------------------------------
// CreateScenarioTables shows the hourglass (11) while it works and sets the
// default pointer (0) afterwards, through this hook (none: nothing happens).
using ScenarioTablesPointerHook = std::function<void(int pointer)>;
ScenarioTablesPointerHook SetScenarioTablesPointerHook(ScenarioTablesPointerHook hook);

// ---- the routines -------------------------------------------------------------

// True when the current database has the three tables. When one is missing
// (any failure of its lookup counts as missing) the question above is asked;
// on Yes the missing tables are created and the result is True when that
// succeeded; on any other answer nothing is created and the result is False.
bool CheckQuorbTables();

// Creates, in the order scenarios, options, fields, each of the three tables
// that the current database does not have yet; tables that exist are left as
// they are. Stops at the first build that fails. True when every build that
// ran succeeded (so that all three tables now exist). Restores the mouse
// pointer in every case.
bool CreateScenarioTables();
// The same on the given database (the current database is neither read nor
// changed); a null database fails like a missing one.
bool CreateScenarioTables(const dao::DatabasePtr& db);

// Each creates its table in the current database and returns True; a table of
// that name that exists already makes it fail (the error goes to the
// handler), and the existing table is not altered.
bool BuildScenarioTable();
bool BuildScenarioOptionsTable();
bool BuildScenarioFieldsTable();
bool BuildScenarioTable(const dao::DatabasePtr& db);
bool BuildScenarioOptionsTable(const dao::DatabasePtr& db);
bool BuildScenarioFieldsTable(const dao::DatabasePtr& db);

// "SELECT  * FROM [usysQuorbScenarios] INNER JOIN [usysQuorbOptions] ON ..."
// with "WHERE [usysQuorbScenarios].Scenario_ID=<n>" appended when n is not 0;
// with n = 0 every scenario with its options row.
std::string GetScenOptionSQL(std::int32_t scenarioId);

// "SELECT * FROM [usysQuorbFields] WHERE Scenario_ID=<n> order by
// FieldDef_Choice, FieldDef_Ordinal_Position".
std::string GetFieldListSQL(std::int32_t scenarioId);
