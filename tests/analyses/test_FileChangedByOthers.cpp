// Scenarios run on a file that another program (the sqlite3 tool, say)
// changes between runs.
#include "AnalysisFixture.h"
#include "support/OtherProgram.h"

#include <sqlite3.h>

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

TEST_F(FileChangedByOthersTest, ASourceInAnotherFileChangedDuringARunIsReadAsItStoodAtItsStart) {
    // The source in a file of its own: X = 1, 2, 3, 4.
    const std::string source = tmp.file("source.db");
    {
        vtest::OtherProgram make(source);
        make.Exec("CREATE TABLE Data (X DOUBLE); INSERT INTO Data VALUES (1), (2), (3), (4)");
    }
    vtest::ScenarioSpec s = vtest::ScenarioOn("P", "Frequency", "Data", "Out");
    s.fields = {{"X", "X"}};
    s.options = {{"FreqN", true}, {"FreqGroupRadio", "Default"}, {"InterV", std::int16_t(4)}, {"FreqIncRadio", "Lower"}};
    const std::int32_t id = Store(s);
    // Another program changes the table after the run has found the bounds
    // of its intervals and before it reads the records.
    struct ChangeAt : IVarnelloEvents {
        sqlite3* other = nullptr;
        const char* sql = nullptr;
        void StatStatus(std::string& msg) override {
            if (msg == "Retrieving and sorting data...") sqlite3_exec(other, sql, nullptr, nullptr, nullptr);
        }
    };
    const struct {
        const char* sql;
        const char* why;
    } cases[] = {
        {"INSERT INTO Data VALUES (100)", "a record added beyond the last interval"},
        {"DELETE FROM Data WHERE X = 4", "a record deleted"},
    };
    for (const auto& c : cases) {
        vtest::OtherProgram other(source);
        sqlite3_busy_timeout(other.handle(), 0); // it does not wait for the run
        ChangeAt change;
        change.other = other.handle();
        change.sql = c.sql;
        VarnelloCore eng;
        eng.SetScenarioDatabase(db);
        eng.SetEvents(&change);
        Varnello::RunScenarioArgs args;
        args.SourceDatabase = source;
        args.OutputDatabase = db;
        args.ShowProgress = true;
        ASSERT_TRUE(eng.RunScenario(id, args)) << c.why << ": " << eng.ErrorInfo();
        // The table as it stood: 1 .. 4 spread 3, padded by 10^(log10 3 - 1)
        // = 0.3 into four intervals of 0.825, rounded up to 0.83, from 1:
        // each value in an interval of its own, a quarter of the four.
        const auto out = ReadTable("Out");
        ASSERT_EQ(out.size(), 4u) << c.why;
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].Num("Count"), 1.0) << c.why << ", interval " << i + 1;
            EXPECT_EQ(out[i].Num("Count%"), 0.25) << c.why << ", interval " << i + 1;
            EXPECT_EQ(out[i].Num("Cumulative%"), 0.25 * double(i + 1)) << c.why << ", interval " << i + 1;
        }
        DBEngine().Reset();
        db = DBEngine().OpenDatabase(tmp.file("data.db"));
    }
}
