// Scenarios run on a file that another program (the sqlite3 tool, say)
// changes between runs.
#include "AnalysisFixture.h"
#include "support/OtherProgram.h"

using namespace dao;
using namespace atest;

namespace {

class FileChangedByOthersTest : public AnalysisTest {};

} // namespace

TEST_F(FileChangedByOthersTest, RunsGoOnAfterAnotherProgramDropsOrRenamesTheirOutputTable) {
    MakeTable("Data", {{"X", dbDouble}}, {{1.0}, {2.0}, {6.0}});
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Describe", "Data", "Result");
    s.fields = {{"X", "X"}};
    s.options = {{"Mean", true}};
    const std::int32_t id = Store(s);
    const struct {
        const char* sql;
        bool reopen;
        const char* why;
    } cases[] = {
        {"DROP TABLE Result", false, "dropped while the file is open"},
        {"ALTER TABLE Result RENAME TO Old", false, "renamed while the file is open"},
        {"DROP TABLE Old; DROP TABLE Result", true, "dropped, then the file opened again"},
        {"ALTER TABLE Result RENAME TO Older", true, "renamed, then the file opened again"},
    };
    for (const auto& c : cases) {
        std::string err;
        ASSERT_TRUE(Run(id, &err)) << c.why << ": " << err;
        {
            vtest::OtherProgram other(tmp.file("data.db"));
            other.Exec(c.sql);
        }
        if (c.reopen) {
            db->Close();
            DBEngine().Reset();
            db = DBEngine().OpenDatabase(tmp.file("data.db"));
        }
        EXPECT_TRUE(Run(id, &err)) << c.why << ": " << err;
        const auto out = ReadTable("Result");
        ASSERT_EQ(out.size(), 1u) << c.why;
        EXPECT_EQ(out[0].Num("Mean"), 3.0) << c.why; // (1 + 2 + 6) / 3
    }
}

TEST_F(FileChangedByOthersTest, AViewAnotherProgramMadeIsTheSourceOfAScenarioThatRuns) {
    MakeTable("Data", {{"G", dbText, 5}, {"X", dbDouble}}, {{"a", 1.0}, {"a", 2.0}, {"b", 6.0}, {"b", 9.0}});
    {
        vtest::OtherProgram other(tmp.file("data.db"));
        other.Exec("CREATE VIEW vTen AS SELECT G, X * 10 AS Ten FROM Data WHERE X > 1");
    }
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Describe", "vTen", "Out");
    s.fields = {{"G", "G"}, {"Ten", "X"}};
    s.options = {{"Mean", true}};
    const auto out = RunAndRead(s);
    // a: 20 (its 1 is left out by the view); b: 60 and 90.
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0]["G"].ToString() + " " + out[0]["Mean"].ToString(), "a 20");
    EXPECT_EQ(out[1]["G"].ToString() + " " + out[1]["Mean"].ToString(), "b 75");
    EXPECT_EQ(out[1].Num("Count"), 2.0);
}
