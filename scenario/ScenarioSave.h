#pragma once
// Storing a scenario in the three scenario tables of a database, without any
// window: the designer's Finish page, the sample database and the tests all
// store through here.
//
// Two levels:
//
// - SaveScenario takes the scenario as the engine holds it (CMelvarsScenario:
//   every property by name) and its field assignments; the caller needs to
//   know nothing of the tables' columns:
//
//       CMelvarsScenario s = NewScenarioDefaults();
//       s.SetScenario_Type("P");
//       s.SetCalcType("Describe");
//       s.SetTable("Sales");
//       s.SetOutputTable1("Sales_Describe");
//       ScenarioSaveResult r = SaveScenario(*db, 0, s, GetScenarioSort("Describe"),
//           {{"Region", "G", 1}, {"Units", "X", 1}}, "admin");
//       if (!r.Saved) report(r.Message); else id = r.ScenarioID;
//
// - WriteScenarioRows writes rows given column by column (for callers that
//   must control single columns, such as tests that store unusual rows).
//
// Both write the header row, the options row and the field rows inside one
// transaction of the database's workspace: either everything is stored or
// nothing is. A failure is returned as a message (the database's error text),
// never thrown, and the scenario number of a new scenario is handed back only
// after the transaction was committed.
#include "db/Database.h"
#include "db/Variant.h"
#include "scenario/CMelvarsScenario.h"
#include "scenario/ScenarioOptions.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One assigned field: name, role code ("G", "C", "X", "Y", "W") and its
// place within the role, from 1.
struct ScenarioFieldRow {
    std::string FieldName;
    std::string Choice;
    std::int32_t OrdinalPosition = 0;
};

struct ScenarioSaveResult {
    bool Saved = false;
    std::int32_t ScenarioID = 0; // the stored scenario's number; 0 when nothing was saved
    std::string Message;         // why it failed; empty on success
};

struct ScenarioRows {
    // Columns of usysQuorbScenarios (Scenario_ID is never written).
    ScenarioColumnValues Header;
    // Columns of usysQuorbOptions besides Scenario_ID; no value: no options
    // row is written (for a new scenario) or the stored one is kept.
    std::optional<ScenarioColumnValues> Options;
    // Rows of usysQuorbFields; they replace the stored ones as a whole.
    // Rows with an empty role are skipped.
    std::vector<ScenarioFieldRow> Fields;
};

// Scenario 0 adds a new scenario; another number rewrites that scenario's
// header row (it must exist), its options row (added when missing) and its
// field rows.
ScenarioSaveResult WriteScenarioRows(dao::Database& db, std::int32_t scenarioId, const ScenarioRows& rows);

// Stores the scenario: the header columns from its properties (empty
// description and missing-value entries as Null, the version "V5   ", the
// creation or modification date and user), the 72 option columns, and the
// field rows. `sortOrder` is the rank of the scenario's type within its group
// (SortOrder, by which the scenario list orders): the types are known above
// this library, so the caller gives it (GetScenarioSort of the catalogue of
// analysis types, engine/AnalysisCatalogue.h).
ScenarioSaveResult SaveScenario(dao::Database& db, std::int32_t scenarioId, const CMelvarsScenario& scenario,
                                std::int16_t sortOrder, const std::vector<ScenarioFieldRow>& fields,
                                const std::string& userName);

// The fields of the scenario's own collection, numbered 1, 2 ... within each
// role in collection order.
std::vector<ScenarioFieldRow> NumberedFields(const CMelvarsScenario& scenario);

// A scenario with the option values a new scenario starts with (the same for
// every group and type; SetNewScenarioOptions) and the missing-value type "0".
CMelvarsScenario NewScenarioDefaults();
