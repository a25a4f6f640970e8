// The run path's choices of databases and tables: the output database
// defaults to the source database, and the run arguments name the output
// tables and the three scenario tables for that run.
#include "db/Dao.h"
#include "analyses/descriptive/CDescribe.h"
#include "analyses/nonparametric/CNonParamChiSquare.h"
#include "engine/VarnelloCore.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"
#include "support/AnalysisSeam.h"

#include <gtest/gtest.h>

using namespace dao;

namespace {

// An engine on that scenario database.
struct EngineOn : VarnelloCore {
    explicit EngineOn(const DatabasePtr& db) { SetScenarioDatabase(db); }
};

class RunPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBEngine().Reset();
        scen = DBEngine().CreateDatabase(tmp.file("scen.db"), dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(scen));
        data = DBEngine().CreateDatabase(tmp.file("data.db"), dbLangGeneral);
        for (const auto& db : {scen, data}) {
            auto td = db->CreateTableDef("Data");
            td->Fields().Append(td->CreateField("Region", dbText, 20));
            td->Fields().Append(td->CreateField("Sales", dbDouble));
            db->TableDefs().Append(td);
            auto rs = db->OpenRecordset("Data");
            for (double v : {3.0, 5.0}) {
                rs->AddNew();
                rs->Fields("Region")->SetValue("north");
                rs->Fields("Sales")->SetValue(v);
                rs->Update();
            }
        }
    }
    void TearDown() override { DBEngine().Reset(); }

    std::int32_t store(const std::string& subType, const std::vector<vtest::ScenarioFieldRow>& fields) {
        vtest::ScenarioSpec s;
        s.subType = subType;
        s.inputTable = "Data";
        s.outputTable1 = "Stored1";
        s.outputTable2 = "Stored2";
        s.fields = fields;
        return vtest::StoreScenario(*scen, s);
    }

    static bool has(const DatabasePtr& db, const std::string& table) {
        db->TableDefs().Refresh();
        return static_cast<bool>(db->TableDefs().Find(table));
    }

    vtest::TempDir tmp;
    DatabasePtr scen, data;
};

} // namespace

TEST_F(RunPathTest, TheOutputDatabaseDefaultsToTheSourceNotTheScenarioDatabase) {
    std::int32_t id = store("Describe", {{"Sales", "X"}});
    EngineOn eng(scen);
    Varnello::RunScenarioArgs args;
    args.SourceDatabase = Varnello::DatabaseArg(data);
    ASSERT_TRUE(eng.RunScenario(id, args)) << eng.ErrorInfo();
    EXPECT_TRUE(has(data, "Stored1"));
    EXPECT_FALSE(has(scen, "Stored1"));
}

TEST_F(RunPathTest, TheOutputTableArgumentsReplaceTheStoredNames) {
    std::int32_t id = store("Chi-Square", {{"Region", "C"}});
    struct Case { const char* out1; const char* out2; std::string expect1, expect2; };
    const Case cases[] = {
        {"", "", "Stored1", "Stored2"},         // none given: the scenario's names
        {"Given1", "", "Given1", "Stored2"},    // OutputTableName alone
        {"", "Given2", "Stored1", "Given2"},    // OutputTableName2 alone
        {"Given1", "Given2", "Given1", "Given2"},
    };
    for (const auto& c : cases) {
        EngineOn eng(scen);
        std::string seen1, seen2;
        vtest::AnalysisOf<ChiSquareSettings>(eng, "Chi-Square") = [&](ChiSquareSettings& a, RunContext&) {
            seen1 = a.OutputTable1;
            seen2 = a.OutputTable2;
            return std::string();
        };
        Varnello::RunScenarioArgs args;
        args.OutputTableName = c.out1;
        args.OutputTableName2 = c.out2;
        ASSERT_TRUE(eng.RunScenario(id, args)) << eng.ErrorInfo();
        EXPECT_EQ(seen1, c.expect1) << c.out1 << "/" << c.out2;
        EXPECT_EQ(seen2, c.expect2) << c.out1 << "/" << c.out2;
    }
}

TEST_F(RunPathTest, TheScenarioTableArgumentsNameTheTablesRead) {
    std::int32_t id = store("Describe", {{"Sales", "X"}});
    struct Case {
        const char* table; // the scenario table given another name
        std::string Varnello::RunScenarioArgs::*arg;
    };
    const Case cases[] = {{"usysQuorbScenarios", &Varnello::RunScenarioArgs::ScenarioTbl},
                          {"usysQuorbOptions", &Varnello::RunScenarioArgs::OptionsTbl},
                          {"usysQuorbFields", &Varnello::RunScenarioArgs::FieldTbl}};
    for (const auto& c : cases) {
        scen->TableDefs().Refresh();
        scen->TableDefs()(c.table)->SetName("Renamed");
        {
            // Without the argument the run looks for the usual name and fails.
            EngineOn eng(scen);
            vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [](DescribeSettings&, RunContext&) { return std::string(); };
            EXPECT_FALSE(eng.RunScenario(id)) << c.table;
        }
        {
            EngineOn eng(scen);
            bool ran = false;
            vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [&](DescribeSettings& a, RunContext&) {
                ran = a.fields.size() == 2 && a.fields[1] == "Sales";
                return std::string();
            };
            Varnello::RunScenarioArgs args;
            args.*(c.arg) = "Renamed";
            EXPECT_TRUE(eng.RunScenario(id, args)) << c.table << ": " << eng.ErrorInfo();
            EXPECT_TRUE(ran) << c.table;
        }
        scen->TableDefs().Refresh();
        scen->TableDefs()("Renamed")->SetName(c.table);
    }
}

TEST_F(RunPathTest, AnUnexpectedErrorNamesTheStepItHappenedIn) {
    std::int32_t id = store("Describe", {{"Sales", "X"}});
    EngineOn eng(scen);
    vtest::AnalysisOf<DescribeSettings>(eng, "Describe") = [](DescribeSettings&, RunContext& e) -> std::string {
        e.Quorb_Msg(0, true, "Creating output table");
        if (auto h = e.ErrHandler()) {
            try {
                throw std::runtime_error("disk full");
            } catch (...) {
                h->HandleError();
            }
        }
        return {};
    };
    EXPECT_FALSE(eng.RunScenario(id));
    const std::string& info = eng.ErrorInfo();
    EXPECT_NE(info.find("\r\nOperation: Creating output table"), std::string::npos) << info;
}
