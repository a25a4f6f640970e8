// Databases given to the engine by path.
#include "engine/VarnelloCore.h"
#include "support/OtherProgram.h"
#include "support/ScenarioFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace dao;

namespace {

// A closed file at `path` with the scenario tables, Data (Sales: the values)
// and scenario 1: the Sum of Sales into Out1.
void makeFile(const std::string& path, std::initializer_list<double> sales) {
    DBEngine().Reset();
    {
        auto db = DBEngine().CreateDatabase(path, dbLangGeneral);
        ASSERT_TRUE(vtest::CreateScenarioTablesIn(db));
        auto td = db->CreateTableDef("Data");
        td->Fields().Append(td->CreateField("Sales", dbDouble));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset("Data");
        for (double v : sales) {
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
}

// The Sum Out1 of the file at `path` holds.
double sumIn(const std::string& path) {
    auto db = DBEngine().OpenDatabase(path);
    auto rs = db->OpenRecordset("SELECT Sum FROM Out1");
    const double sum = rs->EOF_() ? -1 : rs->Fields("Sum")->Value().ToDouble();
    rs->Close();
    db->Close();
    return sum;
}

TEST(EnginePaths, OneFileNamedAsScenarioSourceAndOutputDatabaseIsOpenedOnce) {
    // Three connections to one file: the output connection found the file in
    // use by the others and the run failed.
    vtest::TempDir tmp;
    const std::string path = tmp.file("one.db");
    makeFile(path, {1.0, 2.0, 6.0});
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

TEST(EnginePaths, AFileMovedInPlaceOfOneTheEngineHasOpenIsTheOneRunNext) {
    // Runs of one engine by path; between them another program moves a new
    // copy of the file (its sales ten times as large) over the old one.
    const struct {
        bool outputElsewhere; // the output in a file of its own, given by path too
        const char* why;
    } cases[] = {
        {false, "the output in the file: it was written into the old file, or failed as read-only"},
        {true, "the output elsewhere: the old file's sales were summed"},
    };
    for (const auto& c : cases) {
        vtest::TempDir tmp;
        const std::string path = tmp.file("one.db"), out = tmp.file("out.db");
        makeFile(path, {1.0, 2.0, 6.0});
        makeFile(out, {});
        VarnelloCore engine;
        Varnello::RunScenarioArgs args;
        args.ScenarioDatabase = path;
        if (c.outputElsewhere) args.OutputDatabase = out;
        ASSERT_TRUE(engine.RunScenario(1, args)) << c.why << ": " << engine.ErrorInfo();
        std::filesystem::copy_file(path, tmp.file("new.db"));
        vtest::OtherProgram(tmp.file("new.db")).Exec("UPDATE Data SET Sales = Sales * 10");
        std::filesystem::rename(tmp.file("new.db"), path);
        EXPECT_TRUE(engine.RunScenario(1, args)) << c.why << ": " << engine.ErrorInfo();
        EXPECT_EQ(sumIn(c.outputElsewhere ? out : path), 90.0) << c.why; // 10 + 20 + 60
    }
    DBEngine().Reset();
}

} // namespace

