// Databases given to the engine by path.
#include "engine/VarnelloCore.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace dao;

namespace {

TEST(EnginePaths, OneFileNamedAsScenarioSourceAndOutputDatabaseIsOpenedOnce) {
    // Three connections to one file: the output connection found the file in
    // use by the others and the run failed.
    vtest::TempDir tmp;
    const std::string path = tmp.file("one.db");
    DBEngine().Reset();
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        auto td = db->CreateTableDef("Data");
        td->Fields().Append(td->CreateField("Sales", dbDouble));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset("Data");
        for (double v : {1.0, 2.0, 6.0}) {
            rs->AddNew();
            rs->Fields("Sales")->SetValue(v);
            rs->Update();
        }
        rs->Close();
        vtest::ScenarioSpec s;
        s.inputTable = "Data";
        s.outputTable1 = "Out1";
        s.options = {{"Sum", true}, {"Range", false}, {"VarStd", false}, {"Mean", false}, {"Skew", false},
                     {"Mode", false}, {"CI", false}, {"Percentile", false}, {"FreqN", false}, {"FreqP", false},
                     {"TTestMean", false}, {"CI95", false}};
        s.fields = {{"Sales", "X"}};
        vtest::StoreScenario(*db, s);
        db->Close();
    }
    DBEngine().Reset();
    VarnelloCore engine;
    engine.SetScenarioDatabase(path);
    engine.SetSourceDatabase(path);
    engine.SetOutputDatabase(std::string(tmp.path() / "." / "one.db"));
    ASSERT_TRUE(engine.RunScenario(1)) << engine.ErrorInfo();
    EXPECT_EQ(engine.ScenarioDatabase(), engine.OutputDatabase());
    auto rs = engine.OutputDatabase()->OpenRecordset("SELECT Sum FROM Out1");
    ASSERT_FALSE(rs->EOF_());
    EXPECT_DOUBLE_EQ(rs->Fields("Sum")->Value().ToDouble(), 9.0); // 1 + 2 + 6
}

} // namespace
