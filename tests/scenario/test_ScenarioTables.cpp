// The scenario tables: detection, creation, the exact schema read back from
// the file, the rules the database then applies, and the scenario SQL texts.
#include "db/Dao.h"
#include "errors/ErrorGlobals.h"
#include "platform/MessageBox.h"
#include "scenario/AppDatabase.h"
#include "scenario/ScenarioTables.h"
#include "support/LockWait.h"
#include "support/OtherProgram.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace {

// Type codes of the object model.
constexpr int Boolean = 1;
constexpr int Integer = 3;
constexpr int Long = 4;
constexpr int Double = 7;
constexpr int Date = 8;
constexpr int Text = 10;

struct ExpectedColumn {
    const char* name;
    int type;
    long size;
    bool allowZeroLength;
    const char* defaultValue; // "" for none
    const char* description;  // nullptr for none
};

const ExpectedColumn kScenarios[] = {
    {"Scenario_ID", Long, 4, false, "", nullptr},
    {"SortOrder", Integer, 2, false, "", nullptr},
    {"Scenario_Description", Text, 255, false, "", nullptr},
    {"Scenario_Analysis_Type", Text, 1, false, "", nullptr},
    {"Scenario_Analysis_SubType", Text, 30, false, "", nullptr},
    {"Scenario_Input_Table_Name", Text, 64, true, "", nullptr},
    {"Scenario_Output_Table1_Name", Text, 50, true, "", nullptr},
    {"Scenario_Output_Table2_Name", Text, 64, true, "", nullptr},
    {"Scenario_Version", Text, 5, false, "", nullptr},
    {"Scenario_DateCreated", Date, 8, false, "", nullptr},
    {"Scenario_LastModified", Date, 8, false, "", nullptr},
    {"Scenario_CreatedBy", Text, 15, false, "", nullptr},
    {"Scenario_ModifiedBy", Text, 50, false, "", nullptr},
    {"MissingType", Text, 1, false, "", nullptr},
    {"MissingEqual", Double, 8, false, "", nullptr},
    {"MissingLow", Double, 8, false, "", nullptr},
    {"MissingHigh", Double, 8, false, "", nullptr},
    {"PageLockField1", Text, 255, false, "", nullptr},
    {"PageLockField2", Text, 255, false, "", nullptr},
    {"PageLockField3", Text, 255, false, "", nullptr},
    {"PageLockField4", Text, 255, false, "", nullptr},
};

const ExpectedColumn kOptions[] = {
    {"Scenario_ID", Long, 4, false, "", "Scenario ID"},
    {"Range", Boolean, 1, false, "True", "Describe: Range"},
    {"VarStd", Boolean, 1, false, "True", "Describe: Stanard deviation, variance"},
    {"VarNRadio", Text, 3, false, "N-1", "Describe: N or N-1 Method"},
    {"Mean", Boolean, 1, false, "False", "Describe: Harmonic, Geometric, RMS"},
    {"Skew", Boolean, 1, false, "False", "Describe: Skewness, Kurtosis"},
    {"Sum", Boolean, 1, false, "True", "Describe: Sum, Sum Squared"},
    {"Mode", Boolean, 1, false, "False", "Describe: Mode, Mode Count"},
    {"CI", Boolean, 1, false, "False", "Describe: Confidence Intervals"},
    {"CITypeRadio", Text, 7, false, "t-Test", "Describe: t-Test or Normal CI method"},
    {"CIStdDev", Double, 8, false, "", "Describe: std. dev. for Normal calc"},
    {"CI95", Boolean, 1, false, "True", "Describe: CI 95% option"},
    {"CIUser", Integer, 2, false, "", "Describe: CI User % option"},
    {"TTestMean", Boolean, 1, false, "False", "Describe: t-Test vs. Mean"},
    {"TTestValue", Double, 8, false, "", "Describe: t-Test vs. Mean value to test"},
    {"Percentile", Boolean, 1, false, "False", "Describe: Percentile"},
    {"PercentileRadio", Text, 11, false, "Median", "Percentile type: Median, Quartiles, etc."},
    {"FreqN", Boolean, 1, false, "False", "Describe: Frequency Count"},
    {"FreqP", Boolean, 1, false, "False", "Describe: Frequency Percent"},
    {"InterV", Integer, 2, false, "10", "Frequency: Number of intervals"},
    {"FreqIncRadio", Text, 11, false, "Lower", "Frequency: Include border in lower or upper range"},
    {"FreqDispRadio", Text, 10, false, "Count", "Frequency: Count or cumulative"},
    {"FreqGroupRadio", Text, 10, false, "Default", "Frequency: Default or specified"},
    {"FreqWidth", Double, 8, false, "", "Frequency: Specified interval width"},
    {"FreqInit", Double, 8, false, "", "Frequency: Specified initial interval value"},
    {"FreqSum", Boolean, 1, false, "", "Frequency: Sum intervals"},
    {"FreqType", Text, 1, false, "", nullptr},
    {"CountXY", Boolean, 1, false, "True", "Compare: Count"},
    {"MeanXY", Boolean, 1, false, "True", "Compare: Mean X-Y"},
    {"CorrXY", Boolean, 1, false, "True", "Compare: Correlation"},
    {"TTest", Boolean, 1, false, "True", "Compare: t-Test"},
    {"Chi", Boolean, 1, false, "False", "Compare: Chi-Square"},
    {"MCnt", Boolean, 1, false, "False", "Matrix: Count"},
    {"MMis", Boolean, 1, false, "False", "Matrix: Missing"},
    {"MMean", Boolean, 1, false, "False", "Matrix: Mean X-Y"},
    {"MDev", Boolean, 1, false, "False", "Matrix: Std. Dev X-Y"},
    {"MCov", Boolean, 1, false, "False", "Matrix: Covariance"},
    {"MCor", Boolean, 1, false, "False", "Matrix: Correlation"},
    {"MR2", Boolean, 1, false, "False", "Matrix: R-Square"},
    {"MT", Boolean, 1, false, "False", "Matrix: t-Test"},
    {"MProb", Boolean, 1, false, "False", "Matrix: Probability"},
    {"MProbTail", Text, 6, false, "", "Matrix: Probability tails"},
    {"RegressType", Text, 1, false, "S", "Regression: Type"},
    {"RPoly", Integer, 2, false, "2", "Regression: Polynomial order"},
    {"RYInt", Boolean, 1, false, "True", "Regression: Y-intercept"},
    {"RANova", Boolean, 1, false, "True", "Regression: ANOVA"},
    {"Residual", Boolean, 1, false, "False", "Regression: Residual table"},
    {"XType", Text, 1, false, "C", "Crosstab: Type"},
    {"XRowPCnt", Boolean, 1, false, "", "Crosstab: % of row"},
    {"XColPcnt", Boolean, 1, false, "", "Crosstab: % of column"},
    {"xTotPcnt", Boolean, 1, false, "", "Crosstab: % of total"},
    {"xExpectPcnt", Boolean, 1, false, "", "Crosstab: % of expected"},
    {"xExpect", Boolean, 1, false, "", "Crosstab: Expected"},
    {"xChi", Boolean, 1, false, "", "Crosstab: Chi-Square"},
    {"GroupIgnoreBlanks", Boolean, 1, false, "False", "Group: Ignore blanks"},
    {"GroupDetail", Boolean, 1, false, "False", "Group: Create detail table"},
    {"ChiAll", Boolean, 1, false, "False", "Chi-Square: All groups use the compare values"},
    {"ChiIgnoreBlanks", Boolean, 1, false, "False", "Chi-Square: Ignore blanks"},
    {"ChiDetail", Boolean, 1, false, "True", "Chi-Square: Detail table"},
    {"SignMean", Boolean, 1, false, "True", "Sign Test: Mean"},
    {"SignMedian", Boolean, 1, false, "False", "Sign Test: Median"},
    {"SignCustom", Boolean, 1, false, "False", "Sign Test: Custom"},
    {"SignValue", Integer, 2, false, "", "Sign Test: Custom value"},
    {"FitUniform", Boolean, 1, false, "True", "K-S Fit: Uniform distribution"},
    {"FitNormal", Boolean, 1, false, "False", "K-S Fit: Normal distribution"},
    {"FitPoisson", Boolean, 1, false, "True", "K-S Fit: Poisson distribution"},
    {"NPPair_Sign", Boolean, 1, false, "True", "Paired: Sign Test"},
    {"NPPair_Wilcoxon", Boolean, 1, false, "True", "Paired: Wilcoxon"},
    {"NPPair_Spearman", Boolean, 1, false, "True", "Paired: Spearman"},
    {"NPPair_Tau", Boolean, 1, false, "False", "Paired: Tau - disabled"},
    {"NPFriedmanDetail", Boolean, 1, false, "True", "N Fields: Friedman Detail"},
    {"NPTwoType", Text, 4, false, "Mann", "2 Sample: Wald-Wolfowitz Runs or Mann-Whitney"},
    {"NPKruskalDetail", Boolean, 1, false, "True", "N Sample: Kruskal Wallis detail table"},
};

const ExpectedColumn kFields[] = {
    {"Scenario_ID", Long, 4, false, "", "Scenario ID"},
    {"FieldDef_Name", Text, 64, false, "", "Field Name"},
    {"FieldDef_Ordinal_Position", Integer, 2, false, "", "The field's ordinal position in the set"},
    {"FieldDef_Choice", Text, 1, false, "", "Field assignment type (X, Y, etc.)"},
};

// The number and text of the DaoError f throws; 0 and "" when it throws none.
struct Failure {
    long number = 0;
    std::string text;
};
Failure daoFailure(const std::function<void()>& f) {
    try {
        f();
    } catch (const dao::DaoError& e) {
        return {e.Number(), e.Description()};
    }
    return {};
}
long daoError(const std::function<void()>& f) { return daoFailure(f).number; }

const std::vector<std::string> kAllThree = {"usysQuorbFields", "usysQuorbOptions", "usysQuorbScenarios"};

class ScenarioTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dao::DBEngine().Reset();
        savedErr = gErr;
        freshErr();
        gdbCurrent = newDb("user.db");
        savedAsker = SetInitializeDatabaseAsker([this](const InitializeDatabaseQuestion& q) {
            questions.push_back(q);
            return answer;
        });
        savedPointer = SetScenarioTablesPointerHook([this](int p) { pointers.push_back(p); });
    }
    void TearDown() override {
        SetInitializeDatabaseAsker(savedAsker);
        SetScenarioTablesPointerHook(savedPointer);
        gdbCurrent.reset();
        gErr = savedErr;
        dao::DBEngine().Reset();
    }

    // A new silent error handler that reports into the temporary folder.
    void freshErr() {
        gErr = std::make_shared<CErr_ZUR>();
        gErr->SetDisplayError(false);
        gErr->SetDestinationPath(tmp.file("error.log"));
    }

    dao::DatabasePtr newDb(const std::string& name) {
        return dao::DBEngine().CreateDatabase(tmp.file(name), dao::dbLangGeneral);
    }

    // Names of the tables of the current database whose name starts with "usys".
    std::vector<std::string> scenarioTables() {
        std::vector<std::string> out;
        for (const auto& td : gdbCurrent->TableDefs())
            if (dao::ToLowerAscii(td->Name()).rfind("usys", 0) == 0) out.push_back(td->Name());
        std::sort(out.begin(), out.end());
        return out;
    }

    // Reopens the current database from its file.
    void reopen() {
        std::string path = gdbCurrent->Name();
        gdbCurrent->Close();
        gdbCurrent = dao::DBEngine().OpenDatabase(path);
    }

    // A table of the current database with Scenario_ID and, when asked, a marker column.
    void makeStubTable(const char* name, bool marker) {
        auto td = gdbCurrent->CreateTableDef(name);
        td->Fields().Append(td->CreateField("Scenario_ID", dao::dbLong));
        if (marker) td->Fields().Append(td->CreateField("Marker", dao::dbText, 10));
        gdbCurrent->TableDefs().Append(td);
    }

    // One value of each row the query returns, as read().
    std::vector<std::string> rowsOf(const std::string& sql,
                                    const std::function<std::string(dao::Recordset&)>& read) {
        std::vector<std::string> out;
        auto rs = gdbCurrent->OpenRecordset(sql);
        for (; !rs->EOF_(); rs->MoveNext()) out.push_back(read(*rs));
        return out;
    }

    // Adds a row to table through rs with value in column; the key columns
    // the column does not cover get a fresh Scenario_ID (from ++id) and FieldDef_Name.
    void writeRow(dao::Recordset& rs, const std::string& table, const std::string& column, const dao::Variant& value,
                  int& id) {
        rs.AddNew();
        if (table != kScenarioTableName) rs.Fields("Scenario_ID")->SetValue(++id);
        if (table == kFieldsTableName && column != "FieldDef_Name")
            rs.Fields("FieldDef_Name")->SetValue("F" + std::to_string(id));
        rs.Fields(column)->SetValue(value);
        rs.Update();
    }

    void checkAllColumns() {
        checkColumns(kScenarioTableName, kScenarios);
        checkColumns(kOptionsTableName, kOptions);
        checkColumns(kFieldsTableName, kFields);
    }

    void checkColumns(const char* table, std::span<const ExpectedColumn> expected) {
        SCOPED_TRACE(table);
        auto td = gdbCurrent->TableDefs()(table);
        ASSERT_EQ(td->Fields().Count(), static_cast<int>(expected.size()));
        for (int i = 0; i < static_cast<int>(expected.size()); ++i) {
            const ExpectedColumn& e = expected[static_cast<std::size_t>(i)];
            auto f = td->Fields()(i);
            SCOPED_TRACE(e.name);
            EXPECT_EQ(f->Name(), e.name);
            EXPECT_EQ(f->Type(), e.type);
            EXPECT_EQ(f->Size(), e.size);
            EXPECT_EQ(f->OrdinalPosition(), i);
            EXPECT_EQ(f->AllowZeroLength(), e.allowZeroLength);
            EXPECT_FALSE(f->Required());
            EXPECT_EQ(f->DefaultValue(), e.defaultValue);
            if (std::string(e.name) != "FreqWidth") {
                EXPECT_EQ(f->ValidationRule(), "");
                EXPECT_EQ(f->ValidationText(), "");
            }
            bool auto16 = (f->Attributes() & 16) != 0;
            EXPECT_EQ(auto16, std::string(e.name) == "Scenario_ID" && std::string(table) != kFieldsTableName);
            if (e.description) {
                EXPECT_EQ(f->Properties()("Description")->Value().ToString(), e.description);
            } else {
                EXPECT_EQ(daoError([&] { f->Properties()("Description"); }), 3270) << "has a Description";
            }
        }
    }

    vtest::TempDir tmp;
    std::shared_ptr<CErr_ZUR> savedErr;
    InitializeDatabaseAsker savedAsker;
    ScenarioTablesPointerHook savedPointer;
    std::vector<InitializeDatabaseQuestion> questions;
    std::vector<int> pointers;
    int answer = vbYes;
};

// ---- detection and creation -------------------------------------------------

TEST_F(ScenarioTablesTest, ANewDatabaseIsAskedOnceAndYesCreatesTheThreeTables) {
    EXPECT_TRUE(CheckQuorbTables());
    ASSERT_EQ(questions.size(), 1u);
    const auto& q = questions[0];
    EXPECT_EQ(q.Caption, "Initialize Database");
    EXPECT_EQ(q.Message,
              "This is the first time you have opened this database for use with Varnello.\r\n\r\n"
              "The Scenario information tables must be created in your database in order for Varnello to work. "
              "\r\n\r\nWould you like to add the Varnello scenario tables to this database?");
    EXPECT_EQ(q.Style, 4);
    EXPECT_TRUE(q.DisplayHelpButton);
    EXPECT_EQ(q.HelpID, 220);
    EXPECT_EQ(scenarioTables(), kAllThree);
    EXPECT_EQ(pointers, (std::vector<int>{11, 0}));
    EXPECT_EQ(gErr->ErrNumber(), 0);
    EXPECT_EQ(gErr->StackPointer(), 0);
    // Now all three are there: no second question.
    EXPECT_TRUE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 1u);
}

TEST_F(ScenarioTablesTest, NoCreatesNothingAndFails) {
    answer = vbNo;
    EXPECT_FALSE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_TRUE(scenarioTables().empty());
    EXPECT_TRUE(pointers.empty());
}

TEST_F(ScenarioTablesTest, AnyAnswerButYesCountsAsNo) {
    for (int a : {vbCancel, vbOK, 0, -1}) {
        answer = a;
        EXPECT_FALSE(CheckQuorbTables()) << a;
    }
    EXPECT_TRUE(scenarioTables().empty());
}

TEST_F(ScenarioTablesTest, WithoutAnAskerTheQuestionGoesToThePlatformMessageBox) {
    SetInitializeDatabaseAsker({});
    struct Asked {
        std::string prompt;
        int buttons;
        std::string title;
    };
    std::vector<Asked> asked;
    auto saved = SetMessageBoxHandler([&](const std::string& p, int b, const std::string& t) {
        asked.push_back({p, b, t});
        return vbNo;
    });
    EXPECT_FALSE(CheckQuorbTables());
    SetMessageBoxHandler(saved);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, "Initialize Database");
    EXPECT_EQ(asked[0].buttons & vbButtonSetMask, vbYesNo);
    EXPECT_EQ(asked[0].prompt, InitializeDatabaseMessage());
}

TEST_F(ScenarioTablesTest, ADatabaseWithAllThreeTablesIsNotAsked) {
    ASSERT_TRUE(CreateScenarioTables());
    pointers.clear();
    EXPECT_TRUE(CheckQuorbTables());
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(pointers.empty());
}

TEST_F(ScenarioTablesTest, TableNamesMatchWithoutRegardToCase) {
    // Tables made under the engine's spelling count as present.
    for (const char* name : {"USysQuorbScenarios", "USYSQUORBOPTIONS", "usysquorbfields"}) makeStubTable(name, false);
    EXPECT_TRUE(CheckQuorbTables());
    EXPECT_TRUE(questions.empty());
}

// The fault: a database holding only some of the tables got "Yes" and then
// failed at the first table that existed, every time it was opened.
TEST_F(ScenarioTablesTest, PartialTablesFailedAtTheFirstExistingTable_OnlyTheMissingOnesAreCreated) {
    struct Case {
        std::vector<const char*> present;
    };
    const Case cases[] = {
        {{kScenarioTableName}},
        {{kOptionsTableName}},
        {{kFieldsTableName}},
        {{kScenarioTableName, kFieldsTableName}},
        {{kScenarioTableName, kOptionsTableName}},
        {{kOptionsTableName, kFieldsTableName}},
    };
    int n = 0;
    for (const auto& c : cases) {
        gdbCurrent = newDb("partial" + std::to_string(++n) + ".db");
        questions.clear();
        // The existing tables carry a marker column so that we can see they were left alone.
        for (const char* name : c.present) makeStubTable(name, true);
        EXPECT_TRUE(CheckQuorbTables()) << n;
        EXPECT_EQ(questions.size(), 1u) << n;
        EXPECT_EQ(gErr->ErrNumber(), 0) << "an error reached the handler, case " << n;
        EXPECT_EQ(scenarioTables(), kAllThree);
        for (const char* name : c.present) {
            auto td = gdbCurrent->TableDefs()(name);
            EXPECT_EQ(td->Fields().Count(), 2) << name;
            EXPECT_NE(td->Fields().Find("Marker"), nullptr) << name;
        }
        // The tables that were missing have their full definition.
        const std::pair<const char*, int> full[] = {{kScenarioTableName, 21}, {kOptionsTableName, 73}, {kFieldsTableName, 4}};
        for (const auto& [name, count] : full) {
            auto td = gdbCurrent->TableDefs()(name);
            if (td->Fields().Find("Marker") == nullptr) {
                EXPECT_EQ(td->Fields().Count(), count) << name;
            }
        }
        // Opened again, nothing is asked.
        EXPECT_TRUE(CheckQuorbTables());
        EXPECT_EQ(questions.size(), 1u);
    }
}

// Two designers open a database that has no scenario tables yet: the one that
// answers Yes while the other still makes them found none, then met the
// other's tables as it made its own ("Table already exists") and failed.
TEST_F(ScenarioTablesTest, TablesAnotherDesignerMakesMeanwhileFailedTheCreation_TheyAreFoundAndUsed) {
    vtest::OtherProgram other(gdbCurrent->Name());
    // The other designer has made the first table, not yet the others.
    other.Exec("BEGIN IMMEDIATE");
    other.Exec("CREATE TABLE usysQuorbScenarios (Scenario_ID INTEGER, Marker TEXT)");
    // It finishes as soon as this one waits for it.
    vtest::LockWaitLimitScope limit(std::chrono::minutes(5));
    bool finished = false;
    dao::LockWaitScope waiting([&](const std::string&, std::chrono::milliseconds, std::chrono::milliseconds) {
        if (finished) return;
        finished = true;
        other.Exec("CREATE TABLE usysQuorbOptions (Scenario_ID INTEGER, Marker TEXT)");
        other.Exec("CREATE TABLE usysQuorbFields (Scenario_ID INTEGER, Marker TEXT)");
        other.Exec("COMMIT");
    });
    EXPECT_TRUE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(gErr->ErrNumber(), 0) << gErr->ErrDescription();
    if (!finished) other.Exec("COMMIT");
    EXPECT_EQ(scenarioTables(), kAllThree);
    // The other designer's tables were left as it made them.
    for (const char* name : {kScenarioTableName, kOptionsTableName, kFieldsTableName}) {
        auto td = gdbCurrent->TableDefs()(name);
        EXPECT_EQ(td->Fields().Count(), 2) << name;
        EXPECT_NE(td->Fields().Find("Marker"), nullptr) << name;
    }
}

TEST_F(ScenarioTablesTest, ABuildOfAnExistingTableFailsToTheHandlerAndAltersNothing) {
    ASSERT_TRUE(CreateScenarioTables());
    struct Case {
        const char* what;
        bool (*build)();
        const char* procedure;
    };
    const Case cases[] = {{"scenarios", &BuildScenarioTable, "BuildScenarioTable"},
                          {"options", &BuildScenarioOptionsTable, "BuildScenarioOptionsTable"},
                          {"fields", &BuildScenarioFieldsTable, "BuildScenarioFieldsTable"}};
    for (const auto& c : cases) {
        freshErr();
        EXPECT_FALSE(c.build()) << c.what;
        EXPECT_EQ(gErr->ErrNumber(), dao::err::TableExists) << c.what;
        EXPECT_EQ(gErr->ErrProcedure(), c.procedure);
        EXPECT_EQ(gErr->StackPointer(), 0) << "the procedure left its name on the stack";
    }
    reopen();
    checkAllColumns();
}

TEST_F(ScenarioTablesTest, AnyFailureOfTheLookupCountsAsAMissingTable) {
    ASSERT_TRUE(CreateScenarioTables());
    gdbCurrent->Close(); // every lookup now fails
    answer = vbNo;
    EXPECT_FALSE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 1u);
    // With Yes the builds fail on the closed database, and the result is False.
    answer = vbYes;
    EXPECT_FALSE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_NE(gErr->ErrNumber(), 0);
    EXPECT_EQ(gErr->StackPointer(), 0);
    EXPECT_EQ(pointers.back(), 0);
}

TEST_F(ScenarioTablesTest, WithoutACurrentDatabaseNothingIsCreatedAndTheResultIsFalse) {
    gdbCurrent.reset();
    EXPECT_FALSE(CheckQuorbTables());
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(gErr->ErrNumber(), 91);
    EXPECT_EQ(gErr->ErrProcedure(), "BuildScenarioTable");
}

// ---- the schema read back from the file ---------------------------------------

TEST_F(ScenarioTablesTest, ColumnsReadBackExactlyAsDefined) {
    ASSERT_TRUE(CreateScenarioTables());
    reopen();
    checkAllColumns();
}

TEST_F(ScenarioTablesTest, FreqWidthCarriesTheOnlyValidationRule) {
    ASSERT_TRUE(CreateScenarioTables());
    reopen();
    auto f = gdbCurrent->TableDefs()(kOptionsTableName)->Fields()("FreqWidth");
    EXPECT_EQ(f->ValidationRule(), "Is Null Or >0");
    EXPECT_EQ(f->ValidationText(), "Interval Width must be greater than zero");
}

TEST_F(ScenarioTablesTest, IndexesReadBackAsDefined) {
    ASSERT_TRUE(CreateScenarioTables());
    reopen();
    struct Idx {
        const char* table;
        const char* name;
        bool primary;
        std::vector<std::string> fields;
    };
    const Idx expected[] = {
        {kScenarioTableName, "PrimaryKey", true, {"Scenario_ID"}},
        {kOptionsTableName, "PrimaryKey", true, {"Scenario_ID"}},
        {kFieldsTableName, "PrimaryKey", true, {"Scenario_ID", "FieldDef_Name"}},
        {kFieldsTableName, "IX_Scenario_ID", false, {"Scenario_ID"}},
    };
    const int counts[] = {1, 1, 2};
    const char* tables[] = {kScenarioTableName, kOptionsTableName, kFieldsTableName};
    for (int t = 0; t < 3; ++t) EXPECT_EQ(gdbCurrent->TableDefs()(tables[t])->Indexes().Count(), counts[t]) << tables[t];
    int fieldsPos = 0;
    for (const auto& e : expected) {
        SCOPED_TRACE(std::string(e.table) + "." + e.name);
        auto td = gdbCurrent->TableDefs()(e.table);
        int pos = std::string(e.table) == kFieldsTableName ? fieldsPos++ : 0;
        auto idx = td->Indexes()(pos);
        EXPECT_EQ(idx->Name(), e.name);
        EXPECT_EQ(idx->Primary(), e.primary);
        EXPECT_EQ(idx->Unique(), e.primary);
        EXPECT_FALSE(idx->IgnoreNulls());
        std::vector<std::string> names;
        for (const auto& f : idx->Fields()) {
            names.push_back(f->Name());
            EXPECT_EQ(f->Attributes() & 1, 0) << "descending";
        }
        EXPECT_EQ(names, e.fields);
    }
}

// ---- what the database then enforces ------------------------------------------

TEST_F(ScenarioTablesTest, AnOptionsRowWithOnlyItsNumberReadsBackTheDefaults) {
    ASSERT_TRUE(CreateScenarioTables());
    gdbCurrent->Execute("INSERT INTO usysQuorbOptions (Scenario_ID) VALUES (7)");
    auto rs = gdbCurrent->OpenRecordset("SELECT * FROM usysQuorbOptions WHERE Scenario_ID = 7");
    ASSERT_FALSE(rs->EOF_());
    for (const auto& c : kOptions) {
        SCOPED_TRACE(c.name);
        dao::Variant v = rs->Fields(c.name)->Value();
        std::string d = c.defaultValue;
        if (std::string(c.name) == "Scenario_ID") {
            EXPECT_EQ(v.ToLong(), 7);
        } else if (c.type == Boolean) {
            // True reads -1; a Boolean without a default is False, never Null.
            ASSERT_FALSE(v.IsNull());
            EXPECT_EQ(v.ToLong(), d == "True" ? -1 : 0);
        } else if (d.empty()) {
            EXPECT_TRUE(v.IsNull());
        } else if (c.type == Integer) {
            EXPECT_EQ(v.ToLong(), std::stol(d));
        } else {
            EXPECT_EQ(v.ToString(), d);
        }
    }
    // The same through a recordset's AddNew.
    auto add = gdbCurrent->OpenRecordset(kOptionsTableName, dao::dbOpenDynaset);
    add->AddNew();
    add->Fields("Scenario_ID")->SetValue(8);
    add->Update();
    add->SetBookmark(add->LastModified());
    EXPECT_EQ(add->Fields("VarNRadio")->Value().ToString(), "N-1");
    EXPECT_EQ(add->Fields("NPTwoType")->Value().ToString(), "Mann");
    EXPECT_EQ(add->Fields("InterV")->Value().ToLong(), 10);
    EXPECT_EQ(add->Fields("RPoly")->Value().ToLong(), 2);
    EXPECT_EQ(add->Fields("Range")->Value().ToLong(), -1);
    EXPECT_EQ(add->Fields("Mean")->Value().ToLong(), 0);
}

TEST_F(ScenarioTablesTest, FreqWidthRefusesZeroAndBelowWithItsText) {
    ASSERT_TRUE(CreateScenarioTables());
    struct Case {
        dao::Variant width;
        bool accepted;
    };
    const Case cases[] = {{dao::Variant(0.0), false}, {dao::Variant(-1.0), false}, {dao::Variant(-0.001), false},
                          {dao::Variant(0.5), true},  {dao::Variant::Null(), true}, {dao::Variant(1e-9), true}};
    auto rs = gdbCurrent->OpenRecordset(kOptionsTableName, dao::dbOpenDynaset);
    int id = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width.IsNull() ? std::string("Null") : c.width.ToString());
        std::function<void()> write = [&] { writeRow(*rs, kOptionsTableName, "FreqWidth", c.width, id); };
        if (c.accepted) {
            EXPECT_EQ(daoError(write), 0);
        } else {
            std::string text = daoFailure(write).text;
            rs->CancelUpdate();
            EXPECT_EQ(text, "Interval Width must be greater than zero");
        }
    }
    EXPECT_EQ(gdbCurrent->TableDefs()(kOptionsTableName)->RecordCount(), 3);
}

TEST_F(ScenarioTablesTest, KeysRefuseSecondRows) {
    ASSERT_TRUE(CreateScenarioTables());
    auto& db = *gdbCurrent;
    // options: one row per scenario
    db.Execute("INSERT INTO usysQuorbOptions (Scenario_ID) VALUES (1)");
    EXPECT_EQ(daoError([&] { db.Execute("INSERT INTO usysQuorbOptions (Scenario_ID) VALUES (1)"); }),
              dao::err::DuplicateKey);
    // fields: a field has at most one role per scenario; names compare without regard to case
    auto insertField = [&](const std::string& values) {
        return daoError([&] {
            db.Execute("INSERT INTO usysQuorbFields (Scenario_ID, FieldDef_Name, FieldDef_Ordinal_Position, "
                       "FieldDef_Choice) VALUES (" + values + ")");
        });
    };
    EXPECT_EQ(insertField("1, 'Sales', 1, 'X'"), 0);
    EXPECT_EQ(insertField("1, 'Sales', 2, 'Y'"), dao::err::DuplicateKey);
    EXPECT_EQ(insertField("1, 'SALES', 2, 'Y'"), dao::err::DuplicateKey);
    EXPECT_EQ(insertField("2, 'Sales', 1, 'X'"), 0);
    EXPECT_EQ(db.TableDefs()(kFieldsTableName)->RecordCount(), 2);
}

TEST_F(ScenarioTablesTest, ScenarioNumbersAreGivenByTheDatabase) {
    ASSERT_TRUE(CreateScenarioTables());
    vtest::ScenarioSpec s;
    s.fields = {{"A", "X"}};
    std::int32_t first = vtest::StoreScenario(*gdbCurrent, s);
    std::int32_t second = vtest::StoreScenario(*gdbCurrent, s);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    // The options row carries the scenario's number, set explicitly.
    EXPECT_EQ(rowsOf("SELECT Scenario_ID FROM usysQuorbOptions ORDER BY Scenario_ID",
                     [](dao::Recordset& rs) { return std::to_string(rs.Fields("Scenario_ID")->Value().ToLong()); }),
              (std::vector<std::string>{"1", "2"}));
}

TEST_F(ScenarioTablesTest, EmptyTextsAreRefusedWhereZeroLengthIsNotAllowed) {
    ASSERT_TRUE(CreateScenarioTables());
    // Every text column of the three tables: "" is refused exactly where the
    // column does not allow a zero-length text, and Null is accepted everywhere.
    struct Tbl {
        const char* name;
        std::span<const ExpectedColumn> columns;
    };
    const Tbl tables[] = {{kScenarioTableName, kScenarios}, {kOptionsTableName, kOptions}, {kFieldsTableName, kFields}};
    int id = 1000;
    for (const auto& t : tables) {
        auto rs = gdbCurrent->OpenRecordset(t.name, dao::dbOpenDynaset);
        for (const auto& c : t.columns) {
            if (c.type != Text) continue;
            SCOPED_TRACE(std::string(t.name) + "." + c.name);
            auto write = [&](const dao::Variant& v) { writeRow(*rs, t.name, c.name, v, id); };
            long empty = daoError([&] { write(dao::Variant("")); });
            rs->CancelUpdate();
            EXPECT_EQ(empty, c.allowZeroLength ? 0 : dao::err::ZeroLengthNotAllowed);
            if (std::string(c.name) != "FieldDef_Name") { // part of the primary key
                EXPECT_EQ(daoError([&] { write(dao::Variant::Null()); }), 0);
                rs->CancelUpdate();
            }
        }
    }
}

TEST_F(ScenarioTablesTest, TextsLongerThanTheirColumnAreRefused) {
    ASSERT_TRUE(CreateScenarioTables());
    struct Case {
        const char* table;
        const char* column;
        std::size_t length;
        bool accepted;
    };
    const Case cases[] = {
        {kScenarioTableName, "Scenario_Output_Table1_Name", 50, true},
        {kScenarioTableName, "Scenario_Output_Table1_Name", 51, false},
        {kScenarioTableName, "Scenario_Output_Table2_Name", 51, true},
        {kScenarioTableName, "Scenario_Output_Table2_Name", 64, true},
        {kScenarioTableName, "Scenario_Output_Table2_Name", 65, false},
        {kScenarioTableName, "Scenario_Input_Table_Name", 64, true},
        {kScenarioTableName, "Scenario_Input_Table_Name", 65, false},
        {kScenarioTableName, "Scenario_CreatedBy", 15, true},
        {kScenarioTableName, "Scenario_CreatedBy", 16, false},
        {kScenarioTableName, "Scenario_ModifiedBy", 16, true},
        {kScenarioTableName, "Scenario_Version", 6, false},
        {kScenarioTableName, "PageLockField1", 255, true},
        {kOptionsTableName, "NPTwoType", 4, true},
        {kOptionsTableName, "NPTwoType", 5, false},
        {kOptionsTableName, "CITypeRadio", 7, true},
        {kOptionsTableName, "CITypeRadio", 8, false},
        {kOptionsTableName, "MProbTail", 6, true},
        {kOptionsTableName, "MProbTail", 7, false},
        {kFieldsTableName, "FieldDef_Choice", 2, false},
        {kFieldsTableName, "FieldDef_Name", 64, true},
        {kFieldsTableName, "FieldDef_Name", 65, false},
    };
    int id = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + std::to_string(c.length));
        auto rs = gdbCurrent->OpenRecordset(c.table, dao::dbOpenDynaset);
        long e = daoError([&] { writeRow(*rs, c.table, c.column, dao::Variant(std::string(c.length, 'n')), id); });
        rs->CancelUpdate();
        EXPECT_EQ(e, c.accepted ? 0 : dao::err::FieldTooSmall);
    }
}

// ---- the SQL texts --------------------------------------------------------------

TEST_F(ScenarioTablesTest, SqlTextsCharacterForCharacter) {
    const std::string join = "SELECT  * FROM [usysQuorbScenarios] INNER JOIN [usysQuorbOptions] ON "
                             "[usysQuorbScenarios].Scenario_ID = [usysQuorbOptions].Scenario_ID ";
    const auto fieldList = [](const std::string& n) {
        return "SELECT * FROM [usysQuorbFields] WHERE Scenario_ID=" + n +
               " order by FieldDef_Choice, FieldDef_Ordinal_Position";
    };
    struct Case {
        std::int32_t n;
        const char* text; // the number as the SQL spells it
    };
    // 0 selects every scenario: no WHERE of its own.
    EXPECT_EQ(GetScenOptionSQL(0), join);
    EXPECT_EQ(GetFieldListSQL(0), fieldList("0"));
    const Case cases[] = {{12, "12"}, {-3, "-3"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const auto& c : cases) {
        EXPECT_EQ(GetScenOptionSQL(c.n), join + "WHERE [usysQuorbScenarios].Scenario_ID=" + c.text);
        EXPECT_EQ(GetFieldListSQL(c.n), fieldList(c.text));
    }
    // The SQL builders do not touch the database.
    gdbCurrent.reset();
    EXPECT_EQ(GetFieldListSQL(5), fieldList("5"));
}

TEST_F(ScenarioTablesTest, ScenarioSqlReturnsTheJoinedRows) {
    ASSERT_TRUE(CreateScenarioTables());
    vtest::ScenarioSpec a;
    a.description = "first";
    vtest::ScenarioSpec b;
    b.description = "no options";
    b.writeOptionsRow = false;
    vtest::ScenarioSpec c;
    c.description = "third";
    c.options = {{"InterV", std::int16_t(25)}, {"NPTwoType", "Wald"}};
    std::int32_t ia = vtest::StoreScenario(*gdbCurrent, a);
    std::int32_t ib = vtest::StoreScenario(*gdbCurrent, b);
    std::int32_t ic = vtest::StoreScenario(*gdbCurrent, c);

    auto descriptions = [&](std::int32_t n) {
        auto out = rowsOf(GetScenOptionSQL(n),
                          [](dao::Recordset& rs) { return rs.Fields("Scenario_Description")->Value().ToString(); });
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(descriptions(0), (std::vector<std::string>{"first", "third"}));
    EXPECT_EQ(descriptions(ia), (std::vector<std::string>{"first"}));
    EXPECT_TRUE(descriptions(ib).empty()); // the inner join drops a scenario without options
    EXPECT_TRUE(descriptions(-3).empty());
    auto rs = gdbCurrent->OpenRecordset(GetScenOptionSQL(ic));
    ASSERT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->Fields("InterV")->Value().ToLong(), 25);
    EXPECT_EQ(rs->Fields("NPTwoType")->Value().ToString(), "Wald");
    EXPECT_EQ(rs->Fields("VarNRadio")->Value().ToString(), "N-1");
}

TEST_F(ScenarioTablesTest, FieldListSqlComesGroupedByRoleThenStoredOrder) {
    ASSERT_TRUE(CreateScenarioTables());
    vtest::ScenarioSpec s;
    s.fields = {{"b", "Y", 1}, {"a", "X", 2}, {"c", "X", 1}, {"w", "W", 1}, {"d", "G", 1}, {"e", "C", 1}};
    std::int32_t id = vtest::StoreScenario(*gdbCurrent, s);
    vtest::ScenarioSpec other;
    other.fields = {{"zz", "X", 1}};
    vtest::StoreScenario(*gdbCurrent, other);

    auto rows = [&](std::int32_t n) {
        return rowsOf(GetFieldListSQL(n), [](dao::Recordset& rs) {
            return rs.Fields("FieldDef_Choice")->Value().ToString() +
                   rs.Fields("FieldDef_Ordinal_Position")->Value().ToString() + ":" +
                   rs.Fields("FieldDef_Name")->Value().ToString();
        });
    };
    EXPECT_EQ(rows(id), (std::vector<std::string>{"C1:e", "G1:d", "W1:w", "X1:c", "X2:a", "Y1:b"}));
    EXPECT_TRUE(rows(0).empty());
}

} // namespace
