// Storing a scenario: the three rows as they land in a real database file,
// one transaction for the whole save, and the creation of the scenario
// tables in a database that is not the application's current one.
#include "db/Dao.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioSave.h"
#include "scenario/ScenarioTables.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

class ScenarioSave : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = dao::DBEngine().CreateDatabase(m_tmp.file("save.db"), dao::dbLangGeneral);
        // The tables are made in this database while no database is current.
        gdbCurrent.reset();
        ASSERT_TRUE(CreateScenarioTables(m_db));
    }
    void TearDown() override { m_db->Close(); }

    // The value of one column of the single row the query returns ("Null" for Null).
    std::string Value(const std::string& sql, const char* column) {
        auto rs = m_db->OpenRecordset(sql, dao::dbOpenSnapshot);
        if (rs->EOF_()) return "<no row>";
        const dao::Variant v = rs->Fields(column)->Value();
        return v.IsNull() ? "Null" : v.ToString();
    }
    long Count(const std::string& table) {
        auto rs = m_db->OpenRecordset("SELECT COUNT(*) AS n FROM [" + table + "]", dao::dbOpenSnapshot);
        return rs->Fields("n")->Value().ToLong();
    }

    vtest::TempDir m_tmp;
    dao::DatabasePtr m_db;
};

// The rank the caller gives a Chi-Square scenario (the first of its group).
constexpr std::int16_t kRank = 100;

CMelvarsScenario ChiSquare() {
    CMelvarsScenario s = NewScenarioDefaults();
    s.SetScenario_Type("N");
    s.SetCalcType("Chi-Square");
    s.SetTable("Survey");
    s.SetOutputTable1("Chi");
    s.SetMissingType("1");
    s.SetMissingEqual(dao::Variant("-9"));
    s.SetCIUser(dao::Variant::Null());
    return s;
}

TEST_F(ScenarioSave, NewScenarioWritesItsThreeRowsUnderTheNewNumber) {
    const std::vector<ScenarioFieldRow> fields = {{"Region", "G", 1}, {"Brand", "C", 1}, {"Unused", "", 0}};
    const ScenarioSaveResult r = SaveScenario(*m_db, 0, ChiSquare(), kRank, fields, "maria");
    ASSERT_TRUE(r.Saved) << r.Message;
    EXPECT_EQ(r.ScenarioID, 1); // the first AutoNumber of a new table
    const std::string where = " WHERE Scenario_ID = 1";
    struct Cell {
        const char* table;
        const char* column;
        std::string expected;
        const char* reason;
    };
    const Cell cells[] = {
        {"usysQuorbScenarios", "SortOrder", "100", "Chi-Square ranks first in its group"},
        {"usysQuorbScenarios", "Scenario_Description", "Null", "an empty description is Null"},
        {"usysQuorbScenarios", "Scenario_Analysis_Type", "N", "group letter"},
        {"usysQuorbScenarios", "Scenario_Output_Table2_Name", "", "an empty second name stays empty text"},
        {"usysQuorbScenarios", "Scenario_Version", "V5   ", "the save's own version text"},
        {"usysQuorbScenarios", "Scenario_CreatedBy", "maria", "the user of a new row"},
        {"usysQuorbScenarios", "Scenario_ModifiedBy", "Null", "not written for a new row"},
        {"usysQuorbScenarios", "MissingEqual", "-9", "the text converted by the Double column"},
        {"usysQuorbScenarios", "MissingLow", "Null", "a never-set value is Null"},
        {"usysQuorbOptions", "ChiDetail", "True", "default of a new scenario"},
        {"usysQuorbOptions", "MCnt", "True", "default of a new scenario (the table's own default is False)"},
        {"usysQuorbOptions", "CIUser", "Null", "Null stays Null"},
        {"usysQuorbOptions", "FreqType", "Null", "the one text option written Null when empty"},
    };
    for (const Cell& c : cells)
        EXPECT_EQ(Value(std::string("SELECT * FROM ") + c.table + where, c.column), c.expected) << c.reason;
    EXPECT_EQ(Count("usysQuorbFields"), 2); // the unassigned field has no row
    EXPECT_EQ(Value("SELECT * FROM usysQuorbFields WHERE FieldDef_Choice = 'C'", "FieldDef_Name"), "Brand");
}

TEST_F(ScenarioSave, SavingAgainEditsTheSameRowsAndReplacesTheFields) {
    const ScenarioSaveResult first = SaveScenario(*m_db, 0, ChiSquare(), kRank, {{"Region", "G", 1}}, "maria");
    ASSERT_TRUE(first.Saved);
    CMelvarsScenario s = ChiSquare();
    s.SetScenario_Description("second");
    const ScenarioSaveResult again = SaveScenario(*m_db, first.ScenarioID, s, kRank, {{"Brand", "C", 1}}, "olaf");
    ASSERT_TRUE(again.Saved) << again.Message;
    EXPECT_EQ(again.ScenarioID, first.ScenarioID);
    EXPECT_EQ(Count("usysQuorbScenarios"), 1);
    EXPECT_EQ(Count("usysQuorbOptions"), 1);
    EXPECT_EQ(Value("SELECT * FROM usysQuorbScenarios", "Scenario_CreatedBy"), "maria");
    EXPECT_EQ(Value("SELECT * FROM usysQuorbScenarios", "Scenario_ModifiedBy"), "olaf");
    EXPECT_EQ(Value("SELECT * FROM usysQuorbScenarios", "Scenario_Description"), "second");
    EXPECT_EQ(Value("SELECT * FROM usysQuorbFields", "FieldDef_Name"), "Brand"); // Region lost its row
}

// An edit that stamped its time into Scenario_DateCreated would lose the day
// the scenario was made and leave Scenario_LastModified empty.
TEST_F(ScenarioSave, AnEditStampsLastModifiedAndKeepsTheCreationDate) {
    const ScenarioSaveResult first = SaveScenario(*m_db, 0, ChiSquare(), kRank, {{"Region", "G", 1}}, "maria");
    ASSERT_TRUE(first.Saved) << first.Message;
    const std::string where = " WHERE Scenario_ID = " + std::to_string(first.ScenarioID);
    EXPECT_EQ(Value("SELECT * FROM usysQuorbScenarios" + where, "Scenario_LastModified"), "Null"); // never edited
    // A creation day long before any save of this test.
    m_db->Execute("UPDATE usysQuorbScenarios SET Scenario_DateCreated = #2001-02-03#" + where);
    const std::string created = Value("SELECT * FROM usysQuorbScenarios" + where, "Scenario_DateCreated");
    ASSERT_TRUE(SaveScenario(*m_db, first.ScenarioID, ChiSquare(), kRank, {{"Region", "G", 1}}, "olaf").Saved);
    EXPECT_EQ(Value("SELECT * FROM usysQuorbScenarios" + where, "Scenario_DateCreated"), created);
    EXPECT_EQ(Value("SELECT Count(*) AS n FROM usysQuorbScenarios" + where +
                        " AND Scenario_LastModified > Scenario_DateCreated",
                    "n"),
              "1"); // stamped, and later than the creation day
}

TEST_F(ScenarioSave, ExistingScenarioWithoutOptionsRowGetsOne) {
    vtest::ScenarioSpec spec;
    spec.writeOptionsRow = false;
    const std::int32_t id = vtest::StoreScenario(*m_db, spec);
    ASSERT_EQ(Count("usysQuorbOptions"), 0);
    ASSERT_TRUE(SaveScenario(*m_db, id, ChiSquare(), kRank, {}, "u").Saved);
    EXPECT_EQ(Value("SELECT * FROM usysQuorbOptions WHERE Scenario_ID = " + std::to_string(id), "ChiDetail"), "True");
}

// Saving had no transaction and reported nothing: a failure half way left a
// header without fields (which "Save and Run" then ran) and the new number in
// the caller's hands.
TEST_F(ScenarioSave, SaveFailureRollsBackEveryRowAndGivesNoNumber) {
    struct Case {
        std::int32_t id;
        std::vector<ScenarioFieldRow> fields;
        const char* reason;
    };
    const Case cases[] = {
        {0, {{"Region", "G", 1}, {std::string(70, 'x'), "X", 1}}, "a field name longer than its column, after two rows"},
        {42, {{"Region", "G", 1}}, "a scenario number without a header row"},
    };
    for (const Case& c : cases) {
        const ScenarioSaveResult r = SaveScenario(*m_db, c.id, ChiSquare(), kRank, c.fields, "u");
        EXPECT_FALSE(r.Saved) << c.reason;
        EXPECT_EQ(r.ScenarioID, 0) << c.reason;
        EXPECT_FALSE(r.Message.empty()) << c.reason;
        for (const char* table : {"usysQuorbScenarios", "usysQuorbOptions", "usysQuorbFields"})
            EXPECT_EQ(Count(table), 0) << c.reason << ": " << table;
    }
    // The database is usable afterwards: the next save succeeds.
    EXPECT_TRUE(SaveScenario(*m_db, 0, ChiSquare(), kRank, {{"Region", "G", 1}}, "u").Saved);
}

// Scenario_CreatedBy keeps 15 characters: a workgroup user with a longer name
// could save no new scenario at all ("field too small").
TEST_F(ScenarioSave, AUserNameLongerThanItsColumnIsCutToFitInsteadOfRefusingTheSave) {
    const std::string user = "Maximilian.Berövall"; // 19 characters, the 15th of two bytes
    const ScenarioSaveResult first = SaveScenario(*m_db, 0, ChiSquare(), kRank, {{"Region", "G", 1}}, user);
    ASSERT_TRUE(first.Saved) << first.Message;
    const std::string row = "SELECT * FROM usysQuorbScenarios WHERE Scenario_ID = " + std::to_string(first.ScenarioID);
    EXPECT_EQ(Value(row, "Scenario_CreatedBy"), "Maximilian.Berö"); // its first 15 characters, the last one whole
    const std::string editor(60, 'e');
    const ScenarioSaveResult again = SaveScenario(*m_db, first.ScenarioID, ChiSquare(), kRank, {}, editor);
    ASSERT_TRUE(again.Saved) << again.Message;
    EXPECT_EQ(Value(row, "Scenario_ModifiedBy"), std::string(50, 'e')); // that column keeps 50
    EXPECT_EQ(Value(row, "Scenario_CreatedBy"), "Maximilian.Berö");
}

// Another program writing the file (a client's run, another designer's save)
// holds its write lock for a moment. A save reads the scenario tables before
// it writes them: had it taken no lock before its reads, its first write
// would fail at once with the file in use, without waiting for the other
// program as every statement does.
TEST_F(ScenarioSave, ASaveWhileAnotherProgramWritesTheFileWaitsForItAndSucceeds) {
    const ScenarioSaveResult stored = SaveScenario(*m_db, 0, ChiSquare(), kRank, {{"Region", "G", 1}}, "u");
    ASSERT_TRUE(stored.Saved) << stored.Message;
    struct Case {
        std::int32_t id;
        const char* what;
    };
    const Case cases[] = {{0, "a new scenario"}, {stored.ScenarioID, "an edit of a stored one"}};
    for (const Case& c : cases) {
        vtest::LockWaitLimitScope limit(std::chrono::seconds(20));
        vtest::OtherProgram other(m_tmp.file("save.db"));
        other.Exec("BEGIN IMMEDIATE");
        other.Exec("CREATE TABLE OtherWork (X)");
        // The other program finishes as soon as the save is found waiting for it.
        bool waited = false;
        dao::LockWaitScope listen([&](const std::string&, std::chrono::milliseconds, std::chrono::milliseconds) {
            if (!waited) other.Exec("ROLLBACK");
            waited = true;
        });
        const ScenarioSaveResult r = SaveScenario(*m_db, c.id, ChiSquare(), kRank, {{"Brand", "C", 1}}, "u");
        EXPECT_TRUE(r.Saved) << c.what << ": " << r.Message;
        EXPECT_TRUE(waited) << c.what;
        if (!waited) other.Exec("ROLLBACK");
    }
    EXPECT_EQ(Count("usysQuorbScenarios"), 2);
    EXPECT_EQ(Count("usysQuorbOptions"), 2);
    EXPECT_EQ(Value("SELECT Count(*) AS n FROM usysQuorbFields WHERE FieldDef_Name = 'Brand'", "n"), "2");
}

TEST(ScenarioOptions, EveryOptionColumnReachesItsPropertyAndBack) {
    CMelvarsScenario s;
    // Column names are matched without regard to case, as the database does.
    EXPECT_TRUE(SetScenarioOption(s, "RANova", true));
    EXPECT_TRUE(SetScenarioOption(s, "xtotpcnt", true));
    EXPECT_TRUE(SetScenarioOption(s, "InterV", std::int16_t(7)));
    EXPECT_TRUE(SetScenarioOption(s, "TTestValue", dao::Variant::Null())); // a stored Null mean is 0
    EXPECT_TRUE(SetScenarioOption(s, "SignValue", 3));
    EXPECT_FALSE(SetScenarioOption(s, "Scenario_Description", "x"));
    EXPECT_TRUE(s.RAnova());
    EXPECT_TRUE(s.XTotPcnt());
    EXPECT_EQ(s.InterV(), 7);
    EXPECT_EQ(s.TTestValue(), 0.0);
    EXPECT_EQ(s.SignValue().ToLong(), 3);
    const ScenarioColumnValues values = ScenarioOptionValues(s);
    EXPECT_EQ(values.size(), 72u);
    EXPECT_EQ(values.front().first, "Range");
    EXPECT_EQ(values.back().first, "NPKruskalDetail");
}

} // namespace
