#pragma once
// Stores scenarios in a test database the way the designer does: the three
// scenario tables (made by the application's own table builders), then a
// header row, its options row and its field rows.
//
//     auto db = dao::DBEngine().CreateDatabase(tmp.file("s.db"), dao::dbLangGeneral);
//     ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
//     vtest::ScenarioSpec s;
//     s.subType = "Describe";
//     s.inputTable = "Data";
//     s.outputTable1 = "outDescribe";
//     s.options = {{"CI", true}, {"InterV", std::int16_t(5)}};
//     s.fields = {{"Region", "G"}, {"Sales", "X"}, {"Cost", "X"}};
//     std::int32_t id = vtest::StoreScenario(*db, s);
#include "db/Dao.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vtest {

struct ScenarioFieldRow {
    std::string name;   // FieldDef_Name
    std::string choice; // FieldDef_Choice: "G", "C", "X", "Y" or "W"
    // FieldDef_Ordinal_Position; 0 gives the row's place among the rows of
    // the same role in this list, from 1.
    std::int16_t ordinal = 0;
};

struct ScenarioSpec {
    // usysQuorbScenarios
    std::string description = "Test scenario";
    std::string analysisType = "P";  // Scenario_Analysis_Type
    std::string subType = "Describe"; // Scenario_Analysis_SubType
    std::int16_t sortOrder = 100;
    std::string inputTable;           // Scenario_Input_Table_Name
    std::string outputTable1;         // Scenario_Output_Table1_Name
    std::string outputTable2;         // Scenario_Output_Table2_Name
    std::string missingType = "0";
    dao::Variant missingEqual;        // Empty: not written (Null)
    dao::Variant missingLow;
    dao::Variant missingHigh;
    std::string version = "V5   ";
    std::string createdBy = "admin";
    // usysQuorbOptions: values for the named columns; every other column
    // keeps the table's default (or Null where it has none).
    std::vector<std::pair<std::string, dao::Variant>> options;
    // When false no options row is written (a scenario the join drops).
    bool writeOptionsRow = true;
    // usysQuorbFields, in this order.
    std::vector<ScenarioFieldRow> fields;
};

// A scenario of `type`/`subType` on the table `input` into `output1` (and
// `output2`), its options and fields left for the caller.
inline ScenarioSpec ScenarioOn(std::string type, std::string subType, std::string input, std::string output1,
                               std::string output2 = "") {
    ScenarioSpec s;
    s.analysisType = std::move(type);
    s.subType = std::move(subType);
    s.inputTable = std::move(input);
    s.outputTable1 = std::move(output1);
    s.outputTable2 = std::move(output2);
    return s;
}

// Creates the three scenario tables in db with the application's builders.
// Tables that exist already are left alone. True when all three exist.
bool CreateScenarioTablesIn(const dao::DatabasePtr& db);

// Adds the scenario through the program's own save routine (one
// transaction) and returns its number. A failure is thrown as dao::DaoError
// with the routine's message.
std::int32_t StoreScenario(dao::Database& db, const ScenarioSpec& spec);

// A closed file at `path` for runs from several engines at once: the
// scenario tables, Data (G "a" with X = offset + 1 .. offset + 4, "b" with
// offset + 5 .. offset + 9) and two scenarios on it: Describe of X by G with
// the mean and the median into OutD (the median stages through a work
// database), and a Chi-Square of G with its detail table into OutC and
// OutC2. Returns their numbers, Describe's first.
std::pair<std::int32_t, std::int32_t> MakeDescribeAndChiSquareFile(const std::string& path, double offset = 0);

} // namespace vtest
